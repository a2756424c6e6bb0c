// gorvane-gen-catalogue: writes a synthetic, deterministic catalogue of tweak files for benchmarks.
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char Usage[] = "Usage: gorvane-gen-catalogue OUTDIR [--files N] [--tweaks N] [--seed S]\n"
                     "Writes N files (default 1000) of N tweaks each (default 100) named tweaks-NNNN.ini\n"
                     "into OUTDIR, with realistic field lengths. The same arguments give the same bytes.\n";

// splitmix64: the same sequence on every platform and standard library.
class TRandom {
public:
    explicit TRandom(std::uint64_t seed) : FState(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (FState += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }
    template <class T> const T& Pick(const std::vector<T>& v) { return v[Below(v.size())]; }

private:
    std::uint64_t FState;
};

const std::vector<std::string> Words = {
    "show",    "hide",     "enable",    "disable",  "start",     "menu",       "explorer",  "taskbar",
    "network", "proxy",    "cache",     "update",   "service",   "window",     "desktop",   "icon",
    "folder",  "file",     "search",    "index",    "logon",     "screen",     "saver",     "power",
    "sleep",   "shutdown", "boot",      "driver",   "printer",   "font",       "theme",     "sound",
    "volume",  "mouse",    "keyboard",  "pointer",  "history",   "recent",     "document",  "security",
    "policy",  "account",  "password",  "firewall", "remote",    "assistance", "clipboard", "notification",
    "balloon", "tooltip",  "animation", "shadow",   "thumbnail", "preview",    "extension", "toolbar",
    "address", "browser",  "download",  "cookie",   "telemetry", "report"};

const std::vector<std::string> Companies = {"Contoso",
                                            "Fabrikam",
                                            "Northwind Traders",
                                            "Adventure Works",
                                            "Tailspin Toys",
                                            "Wide World Importers",
                                            "Litware",
                                            "Proseware",
                                            "Lucerne Publishing",
                                            "Margie's Travel",
                                            "Coho Winery",
                                            "Alpine Ski House",
                                            "Blue Yonder Airlines",
                                            "City Power & Light",
                                            "Humongous Insurance",
                                            "Woodgrove Bank",
                                            "Trey Research",
                                            "Fourth Coffee",
                                            "Graphic Design Institute",
                                            "School of Fine Art"};

const std::vector<std::string> Categories = {
    "Explorer", "\"Start Menu\"", "Taskbar",    "Network",       "Security",
    "Privacy",  "Performance",    "Appearance", "System",        "Logon",
    "Printing", "Fonts",          "Sound",      "Input",         "\"Internet Options\"",
    "Updates",  "Services",       "Desktop",    "Accessibility", "Power"};

const std::vector<std::string> Roots = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKLM", "HKCU",
                                        "HKEY_CLASSES_ROOT"};

std::string Capital(std::string s) {
    if (!s.empty() && s[0] >= 'a' && s[0] <= 'z')
        s[0] = static_cast<char>(s[0] - 'a' + 'A');
    return s;
}

// Words joined by blanks, between MinLen and MaxLen characters.
std::string Sentence(TRandom& r, std::size_t MinLen, std::size_t MaxLen) {
    std::string s = Capital(r.Pick(Words));
    while (s.size() < MinLen) {
        const std::string& w = r.Pick(Words);
        if (s.size() + 1 + w.size() > MaxLen)
            break;
        s += ' ';
        s += w;
    }
    return s;
}

bool ParseCount(const char* text, std::uint64_t& value) {
    const char* end = text + std::strlen(text);
    auto [p, ec] = std::from_chars(text, end, value);
    return ec == std::errc() && p == end;
}

} // namespace

int main(int argc, char** argv) {
    std::string outDir;
    std::uint64_t files = 1000, tweaks = 100, seed = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::uint64_t* target = arg == "--files"    ? &files
                                : arg == "--tweaks" ? &tweaks
                                : arg == "--seed"   ? &seed
                                                    : nullptr;
        if (arg == "-h" || arg == "--help") {
            std::cout << Usage;
            return 0;
        } else if (target) {
            if (i + 1 >= argc || !ParseCount(argv[i + 1], *target)) {
                std::cerr << "gorvane-gen-catalogue: " << arg << " needs a whole number\n" << Usage;
                return 2;
            }
            ++i;
        } else if (outDir.empty() && arg[0] != '-') {
            outDir = arg;
        } else {
            std::cerr << "gorvane-gen-catalogue: unexpected argument '" << arg << "'\n" << Usage;
            return 2;
        }
    }
    if (outDir.empty()) {
        std::cerr << "gorvane-gen-catalogue: no OUTDIR given\n" << Usage;
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (ec) {
        std::cerr << "gorvane-gen-catalogue: cannot create " << outDir << ": " << ec.message() << "\n";
        return 2;
    }

    TRandom r(seed);
    std::vector<std::string> products;
    for (int i = 0; i < 200; ++i)
        products.push_back(Capital(r.Pick(Words)) + " " + Capital(r.Pick(Words)) + " " +
                           std::to_string(2000 + i % 25));

    std::uint64_t serial = 0;
    for (std::uint64_t f = 0; f < files; ++f) {
        char name[32];
        std::snprintf(name, sizeof name, "tweaks-%04llu.ini", static_cast<unsigned long long>(f));
        std::string text = "; Synthetic tweaks for benchmarks\r\n\r\n";
        for (std::uint64_t t = 0; t < tweaks; ++t, ++serial) {
            const std::string& company = r.Pick(Companies);
            const bool flag = r.Below(3) == 0;
            text += "[" + Capital(r.Pick(Words)) + Capital(r.Pick(Words)) + std::to_string(serial) + "]\r\n";
            text += "Title=" + Sentence(r, 20, 60) + "\r\n";
            text += "Company=" + company + "\r\n";
            text += "Product=" + r.Pick(products) + "\r\n";
            // Every line fits in 200 characters, so line-buffered parsers read it whole.
            text += "Description=" + Sentence(r, 80, 180) + ".\r\n";
            if (r.Below(4) != 0)
                text += "TechRefUrl=https://support.example.com/kb/" +
                        std::to_string(100000 + r.Below(900000)) + "\r\n";
            text += "RegRootKey=" + r.Pick(Roots) + "\r\n";
            text += "RegKeyPath=Software\\" + company + "\\" + Capital(r.Pick(Words)) + "\\" +
                    Capital(r.Pick(Words)) + "\\" + Capital(r.Pick(Words)) + "\r\n";
            text += "RegValueName=" + Capital(r.Pick(Words)) + Capital(r.Pick(Words)) + "\r\n";
            text += std::string("RegDataType=") + (flag || r.Below(2) ? "REG_DWORD" : "REG_SZ") + "\r\n";
            if (flag)
                text += "RegBooleanDecision=1\r\n";
            std::string cats = r.Pick(Categories);
            for (std::size_t c = r.Below(3); c > 0; --c)
                cats += "," + r.Pick(Categories);
            text += "Categories=" + cats + "\r\n";
            if (!flag && r.Below(3) == 0)
                text += "Suggestions=" + r.Pick(Words) + "," + r.Pick(Words) + ",\"" + Sentence(r, 5, 30) +
                        "\"\r\n";
            text += "\r\n";
        }
        std::ofstream out(std::filesystem::path(outDir) / name, std::ios::binary);
        out << text;
        if (!out) {
            std::cerr << "gorvane-gen-catalogue: cannot write " << name << " in " << outDir << "\n";
            return 2;
        }
    }
    return 0;
}
