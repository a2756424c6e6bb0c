#pragma once
// Key names, type names and value data as gorvane-reg reads them from the command line and shows
// them on the terminal.
#include "registry/WinReg.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

// A key written as "HKLM\Software\X" or "HKEY_LOCAL_MACHINE\Software\X".
struct TRegKeyName {
    HKEY Root = nullptr;
    std::string RootName; // always the long form, "HKEY_LOCAL_MACHINE"
    std::string Path;     // below the root, without leading or trailing backslash; may be empty

    std::string Full() const { return Path.empty() ? RootName : RootName + "\\" + Path; }
};

// The root may be short (HKCR, HKCU, HKLM, HKU, HKCC) or long, in any case; nullopt for anything
// else, remote machine names included.
std::optional<TRegKeyName> ParseRegKeyName(std::string_view text);

// "REG_SZ" (any case) -> 1; nullopt for a name the tool does not write.
std::optional<DWORD> RegTypeFromName(std::string_view name);
// 1 -> "REG_SZ"; a number without a name is shown as "0x" and its hex digits.
std::string RegTypeName(DWORD type);

// The bytes that `add /t TYPE /d DATA` stores. A REG_MULTI_SZ splits DATA at `separator`, or at
// the two characters "\0" when it is empty. Returns nullopt (and a reason) for data the type cannot
// hold.
std::optional<TBytes> EncodeRegData(DWORD type, std::string_view data, std::string_view separator,
                                    std::string& reason);
// The data column of `query`.
std::string FormatRegData(DWORD type, const TBytes& data);

bool EqualsNoCase(std::string_view a, std::string_view b);
// 0..15 for a hexadecimal digit, -1 for any other character.
int RegHexDigit(char c);

// Conversions between the tool's 8-bit text (UTF-8) and UTF-16 LE bytes. Bytes that are not UTF-8
// travel as the lone surrogates U+DC80..U+DCFF, so that any 8-bit string survives the round trip;
// other unpaired surrogates become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// The same between the system's 8-bit code page and UTF-16: UTF-8 as above, except on Windows
// with another code page.
std::u16string TextToUtf16(std::string_view text);
std::string Utf16ToText(std::u16string_view text);
TBytes Utf16LeBytes(std::u16string_view text);
std::u16string FromUtf16LeBytes(const std::uint8_t* data, std::size_t size);
