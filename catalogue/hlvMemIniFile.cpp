#include "catalogue/hlvMemIniFile.h"

#include "catalogue/hlvStringList.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

char AsciiUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool ValidUtf8(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t len;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xc2 && c <= 0xdf) {
            len = 2;
            cp = c & 0x1f;
        } else if (c >= 0xe0 && c <= 0xef) {
            len = 3;
            cp = c & 0x0f;
        } else if (c >= 0xf0 && c <= 0xf4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (std::size_t k = 1; k < len; ++k) {
            unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xc0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3f);
        }
        if ((len == 3 && (cp < 0x800 || (cp >= 0xd800 && cp <= 0xdfff))) ||
            (len == 4 && (cp < 0x10000 || cp > 0x10ffff)))
            return false;
        i += len;
    }
    return true;
}

bool Blank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

std::string_view Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && Blank(s[b]))
        ++b;
    while (e > b && Blank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

[[noreturn]] void RaiseOpenError(const std::string& name, int error) {
    throw EFOpenError("Cannot open file \"" + name + "\". " + std::strerror(error));
}

} // namespace

std::string LocaleUpperCase(std::string_view s) {
    if (IsAscii(s) || !ValidUtf8(s)) {
        std::string r(s);
        for (char& c : r)
            c = AsciiUpper(c);
        return r;
    }
    icu::UnicodeString u =
        icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
    u.toUpper(icu::Locale::getDefault());
    std::string r;
    u.toUTF8String(r);
    return r;
}

bool SameIniName(std::string_view a, std::string_view b) {
    if (IsAscii(a) && IsAscii(b)) {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
                return false;
        return true;
    }
    return LocaleUpperCase(a) == LocaleUpperCase(b);
}

TMemIniFile::TMemIniFile(const std::string& FileName) : FFileName(FileName) {
    // Non-blocking, so that a named pipe among the tweak files reads as empty instead of hanging.
    int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return;
        RaiseOpenError(FileName, errno);
    }
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        RaiseOpenError(FileName, errno);
    if (S_ISDIR(st.st_mode))
        RaiseOpenError(FileName, EISDIR);
    // Sized from the file's own size and grown only for files that change while being read.
    std::string text(S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<std::size_t>(st.st_size) + 1 : 65536,
                     '\0');
    std::size_t used = 0;
    for (;;) {
        if (used == text.size())
            text.resize(text.size() * 2);
        ssize_t got = ::read(fd, text.data() + used, text.size() - used);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                break;
            RaiseOpenError(FileName, errno);
        }
        if (got == 0)
            break;
        used += static_cast<std::size_t>(got);
    }
    text.resize(used);
    SetText(std::move(text));
}

void TMemIniFile::SetText(std::string Text) {
    FText = std::move(Text);
    FSections.clear();
    FSectionIndex.clear();
    FOrphanLines.clear();
    FHadBom = false;
    Parse();
}

void TMemIniFile::Parse() {
    std::string_view text(FText);
    if (std::size_t nul = text.find('\0'); nul != std::string_view::npos)
        text = text.substr(0, nul);
    // Editors commonly save a byte-order mark; it would otherwise spoil the first section header.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        FHadBom = true;
        text.remove_prefix(3);
    }
    const char* p = text.data();
    const char* end = p + text.size();
    int line = 0;
    bool repeated = false;
    while (p < end) {
        const char* e = p;
        while (e < end && *e != '\n' && *e != '\r')
            ++e;
        ++line;
        std::string_view raw(p, static_cast<std::size_t>(e - p));
        p = e;
        if (p < end && *p == '\r')
            ++p;
        if (p < end && *p == '\n')
            ++p;

        std::string_view s = Trim(raw);
        if (s.empty() || s.front() == ';')
            continue;
        if (s.size() >= 2 && s.front() == '[' && s.back() == ']') {
            TSection sec{Trim(s.substr(1, s.size() - 2)), line, {}, FSections.size()};
            sec.Keys.reserve(16);
            auto [it, fresh] = FSectionIndex.try_emplace(LocaleUpperCase(sec.Name), FSections.size());
            if (!fresh) {
                repeated = true;
                it->second = FSections.size();
            }
            FSections.push_back(std::move(sec));
            continue;
        }
        std::size_t eq = s.find('=');
        if (eq == std::string_view::npos)
            continue;
        if (FSections.empty()) {
            FOrphanLines.push_back(line);
            continue;
        }
        FSections.back().Keys.push_back({Trim(s.substr(0, eq)), Trim(s.substr(eq + 1)), line});
    }
    if (repeated)
        for (TSection& sec : FSections)
            sec.Effective = FSectionIndex[LocaleUpperCase(sec.Name)];
}

void TMemIniFile::ReadSections(TStringList& Target) const {
    for (const TSection& s : FSections)
        Target.Add(std::string(s.Name));
}

const TMemIniFile::TSection* TMemIniFile::FindSection(std::string_view Section) const {
    auto it = FSectionIndex.find(LocaleUpperCase(Section));
    return it == FSectionIndex.end() ? nullptr : &FSections[it->second];
}

const TMemIniFile::TKey* TMemIniFile::FindKey(const TSection& Section, std::string_view Ident) {
    for (auto it = Section.Keys.rbegin(); it != Section.Keys.rend(); ++it)
        if (SameIniName(it->Name, Ident))
            return &*it;
    return nullptr;
}

bool TMemIniFile::SectionExists(std::string_view Section) const {
    return FindSection(Section) != nullptr;
}

const std::string_view* TMemIniFile::FindValue(std::string_view Section, std::string_view Ident) const {
    const TSection* s = FindSection(Section);
    if (!s)
        return nullptr;
    const TKey* k = FindKey(*s, Ident);
    return k ? &k->Value : nullptr;
}

bool TMemIniFile::ValueExists(std::string_view Section, std::string_view Ident) const {
    return FindValue(Section, Ident) != nullptr;
}

std::string TMemIniFile::ReadString(std::string_view Section, std::string_view Ident,
                                    std::string_view Default) const {
    const std::string_view* v = FindValue(Section, Ident);
    return std::string(v ? *v : Default);
}
