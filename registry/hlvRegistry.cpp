#include "registry/hlvRegistry.h"

#include <cstring>
#include <vector>

namespace {

struct TKindRow {
    DWORD WinType;
    TRegDataType Kind;
};

// Windows type number -> kind; WinTypeFromKind reads it backwards and adds the kinds that have no
// type of their own.
constexpr TKindRow KindTable[] = {
    {REG_NONE, TRegDataType::rdNone},
    {REG_SZ, TRegDataType::rdString},
    {REG_EXPAND_SZ, TRegDataType::rdExpandString},
    {REG_BINARY, TRegDataType::rdBinary},
    {REG_DWORD, TRegDataType::rdInteger},
    {REG_DWORD_BIG_ENDIAN, TRegDataType::rdBigEndianInteger},
    {REG_LINK, TRegDataType::rdLink},
    {REG_MULTI_SZ, TRegDataType::rdMultiString},
    {REG_RESOURCE_LIST, TRegDataType::rdResourceList},
    {REG_FULL_RESOURCE_DESCRIPTOR, TRegDataType::rdFullResourceDescriptor},
    {REG_RESOURCE_REQUIREMENTS_LIST, TRegDataType::rdResourceRequirementsList},
    {REG_QWORD, TRegDataType::rdInt64},
};

std::string Message(const char* format, const std::string& name) {
    std::string text = format;
    text.replace(text.find("%s"), 2, name);
    return text;
}

[[noreturn]] void RaiseGetFailed(const std::string& name) {
    throw ERegistryException(Message("Failed to get data for '%s'", name));
}
[[noreturn]] void RaiseSetFailed(const std::string& name) {
    throw ERegistryException(Message("Failed to set data for '%s'", name));
}
[[noreturn]] void RaiseInvalidType(const std::string& name) {
    throw ERegistryException(Message("Invalid data type for '%s'", name));
}

} // namespace

TRegDataType KindFromWinType(DWORD winType) {
    for (const auto& row : KindTable)
        if (row.WinType == winType)
            return row.Kind;
    return TRegDataType::rdUnknown;
}

DWORD WinTypeFromKind(TRegDataType kind) {
    switch (kind) {
    case TRegDataType::rdUnknown:
        return REG_NONE;
    case TRegDataType::rdLittleEndianInteger:
    case TRegDataType::rdCardinal:
        return REG_DWORD;
    case TRegDataType::rdLittleEndianInt64:
        return REG_QWORD;
    default:
        for (const auto& row : KindTable)
            if (row.Kind == kind)
                return row.WinType;
        return REG_NONE;
    }
}

TRegistry::~TRegistry() {
    ReleaseKey();
}

void TRegistry::SetHive(HKEY value) {
    if (value == FHive)
        return;
    ReleaseKey();
    FHive = value;
}

void TRegistry::ReleaseKey() {
    if (FCurrentHandle)
        RegCloseKey(FCurrentHandle);
    FCurrentHandle = nullptr;
    FCurrentKeyPath.clear();
}

bool TRegistry::OpenPath(const std::string& Path, bool create, REGSAM mask) {
    const bool absolute = !Path.empty() && Path.front() == '\\';
    const std::string sub = absolute ? Path.substr(1) : Path;
    const bool belowCurrent = !absolute && FCurrentHandle;
    const HKEY base = belowCurrent ? FCurrentHandle : FHive;
    HKEY handle = nullptr;
    LONG rc;
    if (create && !sub.empty())
        rc = RegCreateKeyExA(base, sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, mask, nullptr, &handle,
                             nullptr);
    else
        rc = RegOpenKeyExA(base, sub.c_str(), 0, mask, &handle);
    if (rc != ERROR_SUCCESS)
        return false;
    std::string path = belowCurrent ? FCurrentKeyPath + "\\" + sub : sub;
    ReleaseKey();
    FCurrentHandle = handle;
    FCurrentKeyPath = std::move(path);
    return true;
}

bool TRegistry::OpenKey(const std::string& Path, bool CanCreate) {
    return OpenPath(Path, CanCreate, AccessMask);
}

bool TRegistry::OpenReadOnly(const std::string& Path, REGSAM widthFlag) {
    const REGSAM view = AccessMask & KEY_VIEW_MASK;
    for (REGSAM rights : {REGSAM{KEY_READ}, KEY_READ_NO_NOTIFY, REGSAM{KEY_QUERY_VALUE}})
        if (OpenPath(Path, false, view | rights | widthFlag))
            return true;
    return false;
}

bool TRegistry::OpenKeyReadOnly(const std::string& Path) {
    return OpenReadOnly(Path, 0);
}

bool TRegistry::GetValueWinType(const std::string& Name, DWORD* WinType, DWORD* Size) const {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(FCurrentHandle, Name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    if (WinType)
        *WinType = type;
    if (Size)
        *Size = size;
    return true;
}

std::int32_t TRegistry::ReadInteger(const std::string& Name) const {
    unsigned char bytes[4] = {};
    DWORD type = REG_NONE;
    DWORD size = sizeof bytes;
    if (RegQueryValueExA(FCurrentHandle, Name.c_str(), nullptr, &type, bytes, &size) != ERROR_SUCCESS)
        RaiseGetFailed(Name);
    if (type != REG_DWORD)
        RaiseInvalidType(Name);
    // A REG_DWORD of fewer than 4 bytes would leave part of the number unread.
    if (size != sizeof bytes)
        RaiseGetFailed(Name);
    const std::uint32_t value = std::uint32_t(bytes[0]) | (std::uint32_t(bytes[1]) << 8) |
                                (std::uint32_t(bytes[2]) << 16) | (std::uint32_t(bytes[3]) << 24);
    return static_cast<std::int32_t>(value);
}

void TRegistry::WriteRaw(const std::string& Name, DWORD winType, const void* data, DWORD size) {
    if (RegSetValueExA(FCurrentHandle, Name.c_str(), 0, winType, static_cast<const BYTE*>(data), size) !=
        ERROR_SUCCESS)
        RaiseSetFailed(Name);
}

void TRegistry::WriteInteger(const std::string& Name, std::int32_t Value) {
    const auto v = static_cast<std::uint32_t>(Value);
    const unsigned char bytes[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    WriteRaw(Name, REG_DWORD, bytes, sizeof bytes);
}

bool TRegistry::DeleteValue(const std::string& Name) {
    return RegDeleteValueA(FCurrentHandle, Name.c_str()) == ERROR_SUCCESS;
}

void TMyRegistry::SetBits(std::uint8_t Value) {
    if (Value != 32 && Value != 64)
        throw Exception("Windows Registry only supported with 32 or 64 bits!");
    FBits = Value;
    AlignAccessMask();
}

void TMyRegistry::AlignAccessMask() {
    if (FBits == 64) {
        AccessMask &= ~KEY_WOW64_32KEY;
        AccessMask |= KEY_WOW64_64KEY;
    } else {
        AccessMask &= ~KEY_WOW64_64KEY;
    }
}

bool TMyRegistry::SelectKey(const std::string& Path, bool CanCreate) {
    AlignAccessMask();
    return OpenPath(Path, CanCreate, AccessMask);
}

bool TMyRegistry::SelectKeyReadOnly(const std::string& Path) {
    return OpenReadOnly(Path, FBits == 64 ? KEY_WOW64_64KEY : 0);
}

bool TMyRegistry::QueryValueInfo(const std::string& Name, TRegValueInfo& Info) const {
    Info = TRegValueInfo{};
    DWORD type = 0;
    DWORD size = 0;
    if (!GetValueWinType(Name, &type, &size))
        return false;
    Info.Kind = KindFromWinType(type);
    Info.WinType = type;
    Info.Size = static_cast<std::int32_t>(size);
    return true;
}

bool TMyRegistry::HasValue(const std::string& Name) const {
    return ValueExists(Name);
}

std::int32_t TMyRegistry::ValueSize(const std::string& Name) const {
    TRegValueInfo info;
    return QueryValueInfo(Name, info) ? info.Size : -1;
}

TRegDataType TMyRegistry::ValueKind(const std::string& Name) const {
    TRegValueInfo info;
    return QueryValueInfo(Name, info) ? info.Kind : TRegDataType::rdUnknown;
}

std::int32_t TMyRegistry::QueryValueData(const std::string& Name, void* Buffer, std::int32_t BufferSize,
                                         TRegDataType& Kind) const {
    DWORD type = REG_NONE;
    DWORD size = BufferSize > 0 ? static_cast<DWORD>(BufferSize) : 0;
    if (RegQueryValueExA(CurrentHandle(), Name.c_str(), nullptr, &type, static_cast<BYTE*>(Buffer), &size) !=
        ERROR_SUCCESS)
        RaiseGetFailed(Name);
    const bool keepRequested = type == REG_DWORD && (Kind == TRegDataType::rdCardinal ||
                                                     Kind == TRegDataType::rdLittleEndianInteger);
    if (!keepRequested)
        Kind = KindFromWinType(type);
    return static_cast<std::int32_t>(size);
}

void TMyRegistry::StoreValueData(const std::string& Name, const void* Buffer, std::int32_t Size,
                                 TRegDataType Kind) {
    if (Size < 0)
        RaiseSetFailed(Name);
    WriteRaw(Name, WinTypeFromKind(Kind), Buffer, static_cast<DWORD>(Size));
}

std::string TMyRegistry::ReadText(const std::string& Name) const {
    const std::int64_t n = 2 * static_cast<std::int64_t>(ValueSize(Name)) + 1;
    if (n <= 0)
        return {};
    std::vector<char> buffer(static_cast<std::size_t>(n), '\0');
    TRegDataType kind = TRegDataType::rdString;
    const std::int32_t stored = QueryValueData(Name, buffer.data(), static_cast<std::int32_t>(n), kind);
    if (kind != TRegDataType::rdString && kind != TRegDataType::rdExpandString)
        RaiseInvalidType(Name);
    const auto length = static_cast<std::size_t>(stored);
    return std::string(buffer.data(), strnlen(buffer.data(), length));
}

std::string TMyRegistry::ReadTextList(const std::string& Name) const {
    const std::int32_t size = ValueSize(Name);
    if (size <= 0)
        return {};
    std::string text(static_cast<std::size_t>(size), '\0');
    TRegDataType kind = TRegDataType::rdMultiString;
    QueryValueData(Name, text.data(), size, kind);
    for (std::size_t i = text.size(); i-- > 0;)
        if (text[i] == '\0' && i + 1 != text.size()) {
            text[i] = '\r';
            text.insert(i + 1, 1, '\n');
        }
    if (kind != TRegDataType::rdMultiString)
        RaiseInvalidType(Name);
    return text.substr(0, text.find('\0'));
}

void TMyRegistry::WriteText(const std::string& Name, const std::string& Value) {
    StoreValueData(Name, Value.c_str(), static_cast<std::int32_t>(Value.size() + 1), TRegDataType::rdString);
}

std::int32_t TMyRegistry::ReadDword(const std::string& Name) const {
    return ReadInteger(Name);
}

void TMyRegistry::WriteDword(const std::string& Name, std::int32_t Value) {
    WriteInteger(Name, Value);
}

bool TMyRegistry::RemoveValue(const std::string& Name) {
    return DeleteValue(Name);
}
