#include "tools/gorvane-reg/RegValueText.h"

#include <cctype>
#include <cstdio>

namespace {

struct TRoot {
    const char* Short;
    const char* Long;
    HKEY Key;
};

const TRoot& RootAt(int i) {
    static const TRoot roots[] = {
        {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKU", "HKEY_USERS", HKEY_USERS},
        {"HKCC", "HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
    };
    return roots[i];
}
constexpr int RootCount = 5;

struct TTypeName {
    DWORD Type;
    const char* Name;
};
constexpr TTypeName TypeNames[] = {
    {REG_NONE, "REG_NONE"},
    {REG_SZ, "REG_SZ"},
    {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"},
    {REG_DWORD, "REG_DWORD"},
    {REG_DWORD_BIG_ENDIAN, "REG_DWORD_BIG_ENDIAN"},
    {REG_LINK, "REG_LINK"},
    {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_RESOURCE_LIST, "REG_RESOURCE_LIST"},
    {REG_FULL_RESOURCE_DESCRIPTOR, "REG_FULL_RESOURCE_DESCRIPTOR"},
    {REG_RESOURCE_REQUIREMENTS_LIST, "REG_RESOURCE_REQUIREMENTS_LIST"},
    {REG_QWORD, "REG_QWORD"},
};
// The types `add /t` accepts.
constexpr DWORD WritableTypes[] = {REG_NONE,  REG_SZ,    REG_EXPAND_SZ, REG_BINARY,
                                   REG_DWORD, REG_QWORD, REG_MULTI_SZ,  REG_DWORD_BIG_ENDIAN};

// Decimal or 0x-prefixed hexadecimal, no sign, at most `max`.
std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t max) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        const int d = RegHexDigit(c);
        if (d < 0 || d >= base)
            return std::nullopt;
        if (value > (max - static_cast<std::uint64_t>(d)) / static_cast<std::uint64_t>(base))
            return std::nullopt;
        value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(d);
    }
    return value;
}

void AppendLe(TBytes& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::string Hex(std::uint64_t value) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(value));
    return buffer;
}

std::string UpToNul(const TBytes& data, std::size_t from = 0) {
    std::string text;
    for (std::size_t i = from; i < data.size() && data[i] != 0; ++i)
        text += static_cast<char>(data[i]);
    return text;
}

} // namespace

int RegHexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::optional<TRegKeyName> ParseRegKeyName(std::string_view text) {
    const std::size_t slash = text.find('\\');
    const std::string_view root = text.substr(0, slash);
    std::string_view path = slash == std::string_view::npos ? std::string_view{} : text.substr(slash + 1);
    while (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    for (int i = 0; i < RootCount; ++i) {
        const TRoot& r = RootAt(i);
        if (EqualsNoCase(root, r.Short) || EqualsNoCase(root, r.Long))
            return TRegKeyName{r.Key, r.Long, std::string(path)};
    }
    return std::nullopt;
}

std::optional<DWORD> RegTypeFromName(std::string_view name) {
    for (DWORD type : WritableTypes)
        if (EqualsNoCase(name, RegTypeName(type)))
            return type;
    return std::nullopt;
}

std::string RegTypeName(DWORD type) {
    for (const TTypeName& t : TypeNames)
        if (t.Type == type)
            return t.Name;
    return Hex(type);
}

std::optional<TBytes> EncodeRegData(DWORD type, std::string_view data, std::string_view separator,
                                    std::string& reason) {
    TBytes out;
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        out.assign(data.begin(), data.end());
        out.push_back(0);
        return out;
    case REG_MULTI_SZ: {
        const std::string_view sep = separator.empty() ? std::string_view("\\0") : separator;
        std::vector<std::string_view> parts;
        for (std::size_t from = 0; from <= data.size();) {
            const std::size_t at = data.find(sep, from);
            parts.push_back(
                data.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
            if (at == std::string_view::npos)
                break;
            from = at + sep.size();
        }
        // A trailing separator ends the list; an empty string inside it would end it early.
        if (!parts.empty() && parts.back().empty())
            parts.pop_back();
        for (std::string_view part : parts) {
            if (part.empty()) {
                reason = "A REG_MULTI_SZ value cannot hold an empty string.";
                return std::nullopt;
            }
            out.insert(out.end(), part.begin(), part.end());
            out.push_back(0);
        }
        out.push_back(0);
        return out;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD: {
        const bool wide = type == REG_QWORD;
        const auto value = data.empty() ? std::optional<std::uint64_t>(0)
                                        : ParseNumber(data, wide ? UINT64_MAX : UINT32_MAX);
        if (!value) {
            reason = std::string("The data of a ") + RegTypeName(type) + " value must be a " +
                     (wide ? "64" : "32") + "-bit number without sign, decimal or with 0x in front.";
            return std::nullopt;
        }
        if (type == REG_DWORD_BIG_ENDIAN) {
            for (int i = 3; i >= 0; --i)
                out.push_back(static_cast<std::uint8_t>(*value >> (8 * i)));
        } else {
            AppendLe(out, *value, wide ? 8 : 4);
        }
        return out;
    }
    case REG_BINARY:
    case REG_NONE:
    default:
        if (data.size() % 2 != 0) {
            reason = "Binary data must be an even number of hexadecimal digits.";
            return std::nullopt;
        }
        for (std::size_t i = 0; i < data.size(); i += 2) {
            const int hi = RegHexDigit(data[i]), lo = RegHexDigit(data[i + 1]);
            if (hi < 0 || lo < 0) {
                reason = "Binary data must be an even number of hexadecimal digits.";
                return std::nullopt;
            }
            out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
        }
        return out;
    }
}

std::string FormatRegData(DWORD type, const TBytes& data) {
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return UpToNul(data);
    case REG_MULTI_SZ: {
        std::string text;
        for (std::size_t i = 0; i < data.size() && data[i] != 0;) {
            const std::string part = UpToNul(data, i);
            if (!text.empty())
                text += "\\0";
            text += part;
            i += part.size() + 1;
        }
        return text;
    }
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD:
        if (data.size() == (type == REG_QWORD ? 8u : 4u)) {
            std::uint64_t value = 0;
            for (std::size_t i = 0; i < data.size(); ++i) {
                const std::size_t at = type == REG_DWORD_BIG_ENDIAN ? i : data.size() - 1 - i;
                value = value << 8 | data[at];
            }
            return Hex(value);
        }
        break; // a number of the wrong size is shown as its bytes
    default:
        break;
    }
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint8_t b : data) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    auto raw = [&](unsigned char b) { out += static_cast<char16_t>(0xDC00 + b); };
    for (std::size_t i = 0; i < text.size();) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 < 0x80) {
            out += static_cast<char16_t>(b0);
            ++i;
            continue;
        }
        const int extra = (b0 >> 5) == 6 ? 1 : (b0 >> 4) == 14 ? 2 : (b0 >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + static_cast<std::size_t>(extra) >= text.size()) {
            raw(b0);
            ++i;
            continue;
        }
        char32_t cp = b0 & (0x3F >> extra);
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            if ((b & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = cp << 6 | (b & 0x3F);
        }
        static const char32_t minimum[] = {0, 0x80, 0x800, 0x10000};
        if (!ok || cp < minimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            raw(b0);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (cp >> 10));
            out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    auto put = [&](char32_t cp) {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            put(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xDC80 && u <= 0xDCFF) {
            out += static_cast<char>(u - 0xDC00);
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            put(0xFFFD);
        } else {
            put(u);
        }
    }
    return out;
}

#ifdef _WIN32
std::u16string TextToUtf16(std::string_view text) {
    if (GetACP() == CP_UTF8 || text.empty())
        return Utf8ToUtf16(text);
    const int size = static_cast<int>(text.size());
    std::u16string out(
        static_cast<std::size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0)), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, reinterpret_cast<wchar_t*>(out.data()),
                        static_cast<int>(out.size()));
    return out;
}

std::string Utf16ToText(std::u16string_view text) {
    if (GetACP() == CP_UTF8 || text.empty())
        return Utf16ToUtf8(text);
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int size = static_cast<int>(text.size());
    std::string out(
        static_cast<std::size_t>(WideCharToMultiByte(CP_ACP, 0, wide, size, nullptr, 0, nullptr, nullptr)),
        '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, size, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    return out;
}
#else
std::u16string TextToUtf16(std::string_view text) {
    return Utf8ToUtf16(text);
}

std::string Utf16ToText(std::u16string_view text) {
    return Utf16ToUtf8(text);
}
#endif

TBytes Utf16LeBytes(std::u16string_view text) {
    TBytes out;
    out.reserve(text.size() * 2);
    for (char16_t u : text) {
        out.push_back(static_cast<std::uint8_t>(u & 0xFF));
        out.push_back(static_cast<std::uint8_t>(u >> 8));
    }
    return out;
}

std::u16string FromUtf16LeBytes(const std::uint8_t* data, std::size_t size) {
    std::u16string out;
    out.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2)
        out += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    return out;
}
