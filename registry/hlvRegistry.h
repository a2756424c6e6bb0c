#pragma once
// The program's registry access object: the class library's plain registry class (TRegistry) and
// its extension with a width setting, a read-only open with fallbacks and the program's own kinds
// of value (TMyRegistry).
#include "registry/WinReg.h"
#include "registry/hlvExceptions.h"
#include "registry/hlvRegTypes.h"

#include <cstdint>
#include <string>

// Windows type number -> kind, and back; fixed tables.
TRegDataType KindFromWinType(DWORD winType);
DWORD WinTypeFromKind(TRegDataType kind);

// The access masks of the read-only fallbacks.
constexpr REGSAM KEY_READ_NO_NOTIFY = STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;
constexpr REGSAM KEY_VIEW_MASK = KEY_WOW64_64KEY | KEY_WOW64_32KEY;

// A registry object that selects one key at a time below a root key. Paths that begin with a
// backslash are opened below the root key, other paths below the current key when there is one.
// Keys that cannot be opened give false; value data that cannot be read or written raises
// ERegistryException.
class TRegistry {
public:
    TRegistry() = default;
    virtual ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    HKEY GetHive() const { return FHive; }
    // A different root key releases the current key first.
    void SetHive(HKEY value);
    HKEY CurrentHandle() const { return FCurrentHandle; }
    const std::string& CurrentKeyPath() const { return FCurrentKeyPath; }
    REGSAM AccessMask = KEY_ALL_ACCESS;

    // The class library's opens, in the process's default view: with AccessMask (creating the key
    // and its parents when CanCreate is true), and read-only with the fallbacks KEY_READ,
    // KEY_READ_NO_NOTIFY, KEY_QUERY_VALUE.
    bool OpenKey(const std::string& Path, bool CanCreate);
    bool OpenKeyReadOnly(const std::string& Path);
    // Closes the current key, if any. Never flushes.
    void ReleaseKey();

    // Values of the current key; the empty name is the default value.
    bool GetValueWinType(const std::string& Name, DWORD* WinType, DWORD* Size = nullptr) const;
    bool ValueExists(const std::string& Name) const { return GetValueWinType(Name, nullptr); }
    // A REG_DWORD value; raises "Failed to get data for '%s'" / "Invalid data type for '%s'".
    std::int32_t ReadInteger(const std::string& Name) const;
    void WriteInteger(const std::string& Name, std::int32_t Value);
    bool DeleteValue(const std::string& Name);

protected:
    // Opens Path (rules above) with `mask`, creating it when `create` is true; on success the key
    // becomes current.
    bool OpenPath(const std::string& Path, bool create, REGSAM mask);
    // The read-only fallbacks, each with the view bits of AccessMask and `widthFlag`.
    bool OpenReadOnly(const std::string& Path, REGSAM widthFlag);
    void WriteRaw(const std::string& Name, DWORD winType, const void* data, DWORD size);

private:
    HKEY FHive = HKEY_CURRENT_USER;
    HKEY FCurrentHandle = nullptr;
    std::string FCurrentKeyPath;
};

struct TRegValueInfo {
    TRegDataType Kind = TRegDataType::rdUnknown;
    std::uint32_t WinType = 0;
    std::int32_t Size = 0;
};

class TMyRegistry : public TRegistry {
public:
    TMyRegistry() = default;

    std::uint8_t GetBits() const { return FBits; }
    // 32 or 64; anything else raises Exception "Windows Registry only supported with 32 or 64 bits!".
    virtual void SetBits(std::uint8_t Value);

    bool SelectKey(const std::string& Path, bool CanCreate);
    bool SelectKeyReadOnly(const std::string& Path);

    bool QueryValueInfo(const std::string& Name, TRegValueInfo& Info) const;
    bool HasValue(const std::string& Name) const;
    std::int32_t ValueSize(const std::string& Name) const;
    TRegDataType ValueKind(const std::string& Name) const;
    std::int32_t QueryValueData(const std::string& Name, void* Buffer, std::int32_t BufferSize,
                                TRegDataType& Kind) const;
    void StoreValueData(const std::string& Name, const void* Buffer, std::int32_t Size, TRegDataType Kind);

    std::string ReadText(const std::string& Name) const;
    std::string ReadTextList(const std::string& Name) const;
    void WriteText(const std::string& Name, const std::string& Value);
    std::int32_t ReadDword(const std::string& Name) const;
    void WriteDword(const std::string& Name, std::int32_t Value);
    bool RemoveValue(const std::string& Name);

private:
    REGSAM WithWidthFlag(REGSAM mask) const;
    void AlignAccessMask();
    std::uint8_t FBits = 32;
};
