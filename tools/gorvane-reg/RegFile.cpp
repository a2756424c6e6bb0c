#include "tools/gorvane-reg/RegFile.h"

#include <cstdio>

namespace {

constexpr std::string_view HeaderV5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view HeaderV4 = "REGEDIT4";

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

bool IsStringType(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Reads the quoted text that starts at s[0]; returns the length taken, quotes included, or npos.
std::size_t ReadQuoted(std::string_view s, std::string& out) {
    for (std::size_t i = 1; i < s.size(); ++i) {
        if (s[i] == '"')
            return i + 1;
        if (s[i] == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"'))
            ++i;
        out += s[i];
    }
    return std::string_view::npos;
}

std::string Escape(std::string_view s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

bool ParseHexBytes(std::string_view s, TBytes& out) {
    while (true) {
        s = Trim(s);
        if (s.empty())
            return true;
        int value = 0, digits = 0;
        while (!s.empty() && RegHexDigit(s.front()) >= 0 && digits < 2) {
            value = value * 16 + RegHexDigit(s.front());
            ++digits;
            s.remove_prefix(1);
        }
        if (digits == 0)
            return false;
        out.push_back(static_cast<std::uint8_t>(value));
        s = Trim(s);
        if (s.empty())
            return true;
        if (s.front() != ',')
            return false;
        s.remove_prefix(1);
    }
}

class TParser {
public:
    TParser(std::string_view text, TRegFileParse& result) : Result(result) {
        for (std::size_t from = 0; from <= text.size();) {
            const std::size_t at = text.find('\n', from);
            Lines.push_back(
                text.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
            if (at == std::string_view::npos)
                break;
            from = at + 1;
        }
    }

    void Run() {
        std::size_t i = 0;
        while (i < Lines.size() && Trim(Lines[i]).empty())
            ++i;
        if (i == Lines.size())
            return;
        const std::string_view header = Trim(Lines[i]);
        if (header != HeaderV5 && header != HeaderV4)
            return;
        Result.IsRegFile = true;
        Unicode = header == HeaderV5;
        for (++i; i < Lines.size() && Result.Error.empty(); ++i)
            ParseLine(i);
        if (!Result.Error.empty())
            Result.Ops.clear();
    }

private:
    void Fail(std::size_t line, std::string message) {
        Result.Error = std::move(message);
        Result.ErrorLine = static_cast<int>(line) + 1;
    }

    void ParseLine(std::size_t& i) {
        const std::string_view line = Trim(Lines[i]);
        if (line.empty() || line.front() == ';')
            return;
        if (line.front() == '[')
            return ParseKey(i, line);
        if (line.front() == '@' || line.front() == '"')
            return ParseValue(i, line);
        Fail(i, "This line is neither a key nor a value.");
    }

    void ParseKey(std::size_t i, std::string_view line) {
        if (line.back() != ']')
            return Fail(i, "A key name must end with ']'.");
        std::string_view name = line.substr(1, line.size() - 2);
        const bool remove = !name.empty() && name.front() == '-';
        if (remove)
            name.remove_prefix(1);
        const auto key = ParseRegKeyName(name);
        if (!key)
            return Fail(i, "Invalid key name.");
        HaveKey = !remove;
        TRegOp op;
        op.Kind = remove ? TRegOpKind::DeleteKey : TRegOpKind::CreateKey;
        op.Key = *key;
        op.Line = static_cast<int>(i) + 1;
        Result.Ops.push_back(std::move(op));
        if (!remove)
            CurrentKey = *key;
    }

    void ParseValue(std::size_t& i, std::string_view line) {
        const std::size_t first = i;
        TRegOp op;
        op.Line = static_cast<int>(i) + 1;
        std::size_t at = 1;
        if (line.front() == '"') {
            at = ReadQuoted(line, op.Value.Name);
            if (at == std::string_view::npos)
                return Fail(i, "A value name lacks its closing quote.");
        }
        std::string_view rest = Trim(line.substr(at));
        if (rest.empty() || rest.front() != '=')
            return Fail(i, "A value name must be followed by '='.");
        rest = Trim(rest.substr(1));
        if (rest == "-") {
            op.Kind = TRegOpKind::DeleteValue;
        } else if (!rest.empty() && rest.front() == '"') {
            std::string text;
            const std::size_t end = ReadQuoted(rest, text);
            if (end == std::string_view::npos)
                return Fail(i, "A string lacks its closing quote.");
            const std::string_view after = Trim(rest.substr(end));
            if (!after.empty() && after.front() != ';')
                return Fail(i, "Unexpected text after a string.");
            op.Kind = TRegOpKind::SetValue;
            op.Value.Type = REG_SZ;
            op.Value.Data.assign(text.begin(), text.end());
            op.Value.Data.push_back(0);
        } else if (rest.starts_with("dword:")) {
            const std::string_view digits = Trim(rest.substr(6));
            if (digits.empty() || digits.size() > 8)
                return Fail(i, "A dword needs one to eight hexadecimal digits.");
            std::uint32_t value = 0;
            for (char c : digits) {
                if (RegHexDigit(c) < 0)
                    return Fail(i, "A dword needs one to eight hexadecimal digits.");
                value = value << 4 | static_cast<std::uint32_t>(RegHexDigit(c));
            }
            op.Kind = TRegOpKind::SetValue;
            op.Value.Type = REG_DWORD;
            for (int b = 0; b < 4; ++b)
                op.Value.Data.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
        } else if (rest.starts_with("hex")) {
            DWORD type = REG_BINARY;
            std::string_view body = rest.substr(3);
            if (!body.empty() && body.front() == '(') {
                const std::size_t close = body.find(')');
                if (close == std::string_view::npos || close == 1 || close > 9)
                    return Fail(i, "The type of a hex value must be written hex(N), N in hexadecimal.");
                type = 0;
                for (char c : body.substr(1, close - 1)) {
                    if (RegHexDigit(c) < 0)
                        return Fail(i, "The type of a hex value must be written hex(N), N in hexadecimal.");
                    type = type << 4 | static_cast<DWORD>(RegHexDigit(c));
                }
                body = body.substr(close + 1);
            }
            if (body.empty() || body.front() != ':')
                return Fail(i, "A hex value must be followed by ':'.");
            std::string bytes(Trim(body.substr(1)));
            // A list ending in a backslash goes on in the next line.
            while (!bytes.empty() && bytes.back() == '\\') {
                bytes.pop_back();
                if (++i == Lines.size())
                    return Fail(first, "A hex value ends in a backslash on the last line.");
                bytes += Trim(Lines[i]);
            }
            TBytes data;
            if (!ParseHexBytes(bytes, data))
                return Fail(first, "Hex data must be bytes of two hexadecimal digits separated by commas.");
            if (Unicode && IsStringType(type) && data.size() % 2 == 0) {
                const std::string text = Utf16ToText(FromUtf16LeBytes(data.data(), data.size()));
                data.assign(text.begin(), text.end());
            }
            op.Kind = TRegOpKind::SetValue;
            op.Value.Type = type;
            op.Value.Data = std::move(data);
        } else {
            return Fail(
                i, "The data of a value must be a \"string\", dword:, hex: or hex(N):, or - to delete it.");
        }
        if (!HaveKey)
            return; // values of a deleted key, or before any key, are ignored as the registry editor does
        op.Key = CurrentKey;
        Result.Ops.push_back(std::move(op));
    }

    TRegFileParse& Result;
    std::vector<std::string_view> Lines;
    bool Unicode = false;
    bool HaveKey = false;
    TRegKeyName CurrentKey;
};

void AppendHexList(std::string& out, std::size_t column, const TBytes& data) {
    char buffer[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, "%02x", data[i]);
        out += buffer;
        column += 2;
        if (i + 1 == data.size())
            break;
        out += ',';
        ++column;
        if (column > 76) {
            out += "\\\r\n  ";
            column = 2;
        }
    }
}

bool IsPlainString(const TBytes& data) {
    if (data.empty() || data.back() != 0)
        return false;
    for (std::size_t i = 0; i + 1 < data.size(); ++i)
        if (data[i] == 0 || data[i] == '\r' || data[i] == '\n')
            return false;
    return true;
}

} // namespace

TRegFileParse ParseRegFile(std::string_view bytes) {
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        text = Utf16ToText(
            FromUtf16LeBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()) + 2, bytes.size() - 2));
    } else {
        if (bytes.starts_with("\xEF\xBB\xBF"))
            bytes.remove_prefix(3);
        text = bytes;
    }
    TRegFileParse result;
    TParser(text, result).Run();
    return result;
}

std::string WriteRegFile(const std::vector<TRegFileKey>& keys) {
    std::string text(HeaderV5);
    text += "\r\n";
    for (const TRegFileKey& key : keys) {
        text += "\r\n[" + key.Name + "]\r\n";
        for (const TRegFileValue& v : key.Values) {
            std::string line = v.Name.empty() ? "@=" : "\"" + Escape(v.Name) + "\"=";
            if (v.Type == REG_SZ && IsPlainString(v.Data)) {
                line += "\"" +
                        Escape(std::string_view(reinterpret_cast<const char*>(v.Data.data()),
                                                v.Data.size() - 1)) +
                        "\"";
            } else if (v.Type == REG_DWORD && v.Data.size() == 4) {
                char buffer[16];
                std::snprintf(buffer, sizeof buffer, "dword:%08x",
                              static_cast<unsigned>(v.Data[0] | v.Data[1] << 8 | v.Data[2] << 16 |
                                                    static_cast<std::uint32_t>(v.Data[3]) << 24));
                line += buffer;
            } else {
                TBytes data = v.Data;
                if (IsStringType(v.Type))
                    data = Utf16LeBytes(TextToUtf16(
                        std::string_view(reinterpret_cast<const char*>(v.Data.data()), v.Data.size())));
                if (v.Type == REG_BINARY) {
                    line += "hex:";
                } else {
                    char buffer[24];
                    std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(v.Type));
                    line += buffer;
                }
                // The column counts characters, and the name may hold multibyte ones.
                AppendHexList(line, TextToUtf16(line).size(), data);
            }
            text += line + "\r\n";
        }
    }
    text += "\r\n";
    const TBytes utf16 = Utf16LeBytes(TextToUtf16(text));
    std::string out = "\xFF\xFE";
    out.append(reinterpret_cast<const char*>(utf16.data()), utf16.size());
    return out;
}
