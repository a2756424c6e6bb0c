#pragma once
// Name tables of the tweak files, and the one-shot registry value operations.
#include "registry/WinReg.h"
#include "registry/hlvRegTypes.h"

#include <cstdint>
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

// The backup of a value is named after it with this suffix, in the same key.
inline constexpr char SUndoBackupSuffix[] = " (undo backup)";

// One-shot value operations: each opens its key, does one read, write or delete, closes the key
// and returns whether it succeeded. Out parameters are assigned only on success. KeyPath may begin
// with a backslash; Bits is 32 (the process's default view) or 64 (KEY_WOW64_64KEY), anything else
// raises Exception. The reads and writes let the access object's ERegistryException escape.
bool RegistryReadString(HKEY Hive, const std::string& KeyPath, const std::string& ValueName,
                        std::uint8_t Bits, std::string& Value);
bool RegistryWriteString(HKEY Hive, const std::string& KeyPath, const std::string& ValueName,
                         std::uint8_t Bits, const std::string& Value);
bool RegistryReadInteger(HKEY Hive, const std::string& KeyPath, const std::string& ValueName,
                         std::int32_t& Value);
bool RegistryWriteInteger(HKEY Hive, const std::string& KeyPath, const std::string& ValueName,
                          std::uint8_t Bits, std::int32_t Value);
// ViewIndex 0 is Bits 32, 1 is Bits 64, anything else the default (32). Never raises.
bool RegistryDeleteValue(HKEY Hive, const std::string& KeyPath, const std::string& ValueName,
                         std::uint8_t ViewIndex);
