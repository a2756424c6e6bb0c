#pragma once
// Name tables of the tweak files, and the one-shot registry value operations.
#include "registry/WinReg.h"
#include "registry/hlvRegTypes.h"

#include <string>
#include <string_view>

// "HKEY_LOCAL_MACHINE" or "HKLM" -> HKEY_LOCAL_MACHINE; byte-exact, anything else 0.
HKEY RootKeyFromString(std::string_view name);
// "REG_SZ" -> rdString; byte-exact, anything else rdUnknown.
TRegDataType RegDataTypeFromString(std::string_view name);

// The table entries themselves, for tools that list what is allowed.
struct TRootKeyName {
    const char* Name;
    std::uint32_t Key;
};
struct TRegDataTypeName {
    const char* Name;
    TRegDataType Kind;
};
extern const TRootKeyName RootKeyNames[14];
extern const TRegDataTypeName RegDataTypeNames[14];
