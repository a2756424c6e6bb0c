#include "registry/hlvRegTools.h"

#include "registry/hlvRegistry.h"

#include <iterator>

const TRootKeyName RootKeyNames[14] = {
    {"HKEY_CLASSES_ROOT", 0x80000000u},
    {"HKCR", 0x80000000u},
    {"HKEY_CURRENT_USER", 0x80000001u},
    {"HKCU", 0x80000001u},
    {"HKEY_LOCAL_MACHINE", 0x80000002u},
    {"HKLM", 0x80000002u},
    {"HKEY_USERS", 0x80000003u},
    {"HKUS", 0x80000003u},
    {"HKEY_PERFORMANCE_DATA", 0x80000004u},
    {"HKPD", 0x80000004u},
    {"HKEY_CURRENT_CONFIG", 0x80000005u},
    {"HKCC", 0x80000005u},
    {"HKEY_DYN_DATA", 0x80000006u},
    {"HKDD", 0x80000006u},
};

const TRegDataTypeName RegDataTypeNames[14] = {
    {"REG_NONE", TRegDataType::rdNone},
    {"REG_SZ", TRegDataType::rdString},
    {"REG_EXPAND_SZ", TRegDataType::rdExpandString},
    {"REG_BINARY", TRegDataType::rdBinary},
    {"REG_DWORD", TRegDataType::rdInteger},
    {"REG_DWORD_LITTLE_ENDIAN", TRegDataType::rdLittleEndianInteger},
    {"REG_DWORD_BIG_ENDIAN", TRegDataType::rdBigEndianInteger},
    {"REG_LINK", TRegDataType::rdLink},
    {"REG_MULTI_SZ", TRegDataType::rdMultiString},
    {"REG_RESOURCE_LIST", TRegDataType::rdResourceList},
    {"REG_FULL_RESOURCE_DESCRIPTOR", TRegDataType::rdFullResourceDescriptor},
    {"REG_RESOURCE_REQUIREMENTS_LIST", TRegDataType::rdResourceRequirementsList},
    {"REG_QWORD", TRegDataType::rdInt64},
    {"REG_QWORD_LITTLE_ENDIAN", TRegDataType::rdLittleEndianInt64},
};

HKEY RootKeyFromString(std::string_view name) {
    for (const auto& entry : RootKeyNames)
        if (name == entry.Name)
            return reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(entry.Key)));
    return nullptr;
}

TRegDataType RegDataTypeFromString(std::string_view name) {
    for (const auto& entry : RegDataTypeNames)
        if (name == entry.Name)
            return entry.Kind;
    return TRegDataType::rdUnknown;
}

const char* RegDataTypeName(TRegDataType kind) {
    static const char* const names[] = {
        "rdUnknown",
        "rdNone",
        "rdString",
        "rdExpandString",
        "rdBinary",
        "rdInteger",
        "rdLittleEndianInteger",
        "rdBigEndianInteger",
        "rdLink",
        "rdMultiString",
        "rdResourceList",
        "rdFullResourceDescriptor",
        "rdResourceRequirementsList",
        "rdInt64",
        "rdLittleEndianInt64",
        "rdCardinal",
    };
    auto index = static_cast<unsigned>(kind);
    return index < std::size(names) ? names[index] : "rdUnknown";
}

// Each operation owns its access object for the length of the call; the object's destructor
// closes the key on every path, an escaping error included.

bool RegistryReadString(HKEY Hive, const std::string& KeyPath, const std::string& ValueName,
                        std::uint8_t Bits, std::string& Value) {
    TMyRegistry registry;
    registry.SetBits(Bits);
    registry.SetHive(Hive);
    if (!registry.SelectKeyReadOnly(KeyPath))
        return false;
    bool result = false;
    switch (registry.ValueKind(ValueName)) {
    case TRegDataType::rdString:
    case TRegDataType::rdExpandString:
        Value = registry.ReadText(ValueName);
        result = true;
        break;
    case TRegDataType::rdMultiString:
        Value = registry.ReadTextList(ValueName);
        result = true;
        break;
    default:
        break;
    }
    registry.ReleaseKey();
    return result;
}

bool RegistryWriteString(HKEY Hive, const std::string& KeyPath, const std::string& ValueName,
                         std::uint8_t Bits, const std::string& Value) {
    TMyRegistry registry;
    registry.SetBits(Bits);
    registry.SetHive(Hive);
    if (!registry.SelectKey(KeyPath, true))
        return false;
    registry.WriteText(ValueName, Value);
    registry.ReleaseKey();
    return true;
}

bool RegistryReadInteger(HKEY Hive, const std::string& KeyPath, const std::string& ValueName,
                         std::int32_t& Value) {
    TMyRegistry registry;
    registry.SetHive(Hive);
    if (!registry.SelectKeyReadOnly(KeyPath))
        return false;
    bool result = false;
    if (registry.ValueKind(ValueName) == TRegDataType::rdInteger) {
        Value = registry.ReadDword(ValueName);
        result = true;
    }
    registry.ReleaseKey();
    return result;
}

bool RegistryWriteInteger(HKEY Hive, const std::string& KeyPath, const std::string& ValueName,
                          std::uint8_t Bits, std::int32_t Value) {
    TMyRegistry registry;
    registry.SetBits(Bits);
    registry.SetHive(Hive);
    if (!registry.SelectKey(KeyPath, true))
        return false;
    registry.WriteDword(ValueName, Value);
    registry.ReleaseKey();
    return true;
}

bool RegistryDeleteValue(HKEY Hive, const std::string& KeyPath, const std::string& ValueName,
                         std::uint8_t ViewIndex) {
    try {
        TMyRegistry registry;
        registry.SetHive(Hive);
        if (ViewIndex == 0)
            registry.SetBits(32);
        else if (ViewIndex == 1)
            registry.SetBits(64);
        if (!registry.SelectKey(KeyPath, false))
            return false;
        bool result = false;
        if (registry.HasValue(ValueName)) {
            registry.RemoveValue(ValueName); // refused or not: the value was there
            result = true;
        }
        registry.ReleaseKey();
        return result;
    } catch (...) {
        return false;
    }
}
