#pragma once
// The registry functions Gorvane calls, with the names and meanings of the Windows API.
// On Windows this is the system's own header; elsewhere our own declarations, served by the
// stand-alone store.

#include <cstdint>

#ifdef _WIN32
#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0601 // RegDeleteTreeA and RegDeleteKeyExA need Vista or later
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Gorvane's code reaches the registry through the current backend (RegBackend.h) on Windows too,
// so that tests can record and restrict calls. The Windows backend itself defines
// GORVANE_SYSTEM_REGISTRY_CALLS to reach advapi32.
#ifndef GORVANE_SYSTEM_REGISTRY_CALLS
LONG GorvaneRegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LONG GorvaneRegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options,
                            REGSAM desired, LPSECURITY_ATTRIBUTES security, PHKEY result,
                            LPDWORD disposition);
LONG GorvaneRegCloseKey(HKEY key);
LONG GorvaneRegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD size);
LONG GorvaneRegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                           DWORD size);
LONG GorvaneRegDeleteValueA(HKEY key, LPCSTR valueName);
LONG GorvaneRegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                          LPSTR className, LPDWORD classSize, void* lastWriteTime);
LONG GorvaneRegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                          LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG GorvaneRegDeleteKeyExA(HKEY key, LPCSTR subKey, REGSAM view, DWORD reserved);
LONG GorvaneRegDeleteTreeA(HKEY key, LPCSTR subKey);
#define RegOpenKeyExA GorvaneRegOpenKeyExA
#define RegCreateKeyExA GorvaneRegCreateKeyExA
#define RegCloseKey GorvaneRegCloseKey
#define RegQueryValueExA GorvaneRegQueryValueExA
#define RegSetValueExA GorvaneRegSetValueExA
#define RegDeleteValueA GorvaneRegDeleteValueA
#define RegEnumKeyExA GorvaneRegEnumKeyExA
#define RegEnumValueA GorvaneRegEnumValueA
#define RegDeleteKeyExA GorvaneRegDeleteKeyExA
#define RegDeleteTreeA GorvaneRegDeleteTreeA
#endif

#else

struct HKEY__;
using HKEY = HKEY__*;
using PHKEY = HKEY*;
using LONG = std::int32_t;
using DWORD = std::uint32_t;
using LPDWORD = DWORD*;
using BYTE = std::uint8_t;
using LPBYTE = BYTE*;
using REGSAM = DWORD;
using LPCSTR = const char*;
using LPSTR = char*;
using LSTATUS = LONG;
struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

// Predefined keys as Windows defines them: the 32-bit handle value sign-extended to pointer width.
#define GORVANE_PREDEFINED_KEY(v)                                                                            \
    (reinterpret_cast<HKEY>(static_cast<std::intptr_t>(static_cast<std::int32_t>(v))))
#define HKEY_CLASSES_ROOT GORVANE_PREDEFINED_KEY(0x80000000u)
#define HKEY_CURRENT_USER GORVANE_PREDEFINED_KEY(0x80000001u)
#define HKEY_LOCAL_MACHINE GORVANE_PREDEFINED_KEY(0x80000002u)
#define HKEY_USERS GORVANE_PREDEFINED_KEY(0x80000003u)
#define HKEY_PERFORMANCE_DATA GORVANE_PREDEFINED_KEY(0x80000004u)
#define HKEY_CURRENT_CONFIG GORVANE_PREDEFINED_KEY(0x80000005u)
#define HKEY_DYN_DATA GORVANE_PREDEFINED_KEY(0x80000006u)

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_OUTOFMEMORY = 14;
constexpr LONG ERROR_WRITE_FAULT = 29;
constexpr LONG ERROR_READ_FAULT = 30;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_DISK_FULL = 112;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_BUSY = 170;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_BADDB = 1009;
constexpr LONG ERROR_BADKEY = 1010;
constexpr LONG ERROR_CANTOPEN = 1011;
constexpr LONG ERROR_CANTREAD = 1012;
constexpr LONG ERROR_CANTWRITE = 1013;
constexpr LONG ERROR_REGISTRY_CORRUPT = 1015;
constexpr LONG ERROR_REGISTRY_IO_FAILED = 1016;
constexpr LONG ERROR_KEY_DELETED = 1018;
constexpr LONG ERROR_NOACCESS = 998;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM DELETE = 0x00010000;
constexpr REGSAM READ_CONTROL = 0x00020000;
constexpr REGSAM WRITE_DAC = 0x00040000;
constexpr REGSAM WRITE_OWNER = 0x00080000;
constexpr REGSAM MAXIMUM_ALLOWED = 0x02000000;
constexpr REGSAM STANDARD_RIGHTS_READ = 0x00020000;
constexpr REGSAM KEY_READ = 0x00020019;
constexpr REGSAM KEY_WRITE = 0x00020006;
constexpr REGSAM KEY_ALL_ACCESS = 0x000F003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_DWORD_LITTLE_ENDIAN = 4;
constexpr DWORD REG_DWORD_BIG_ENDIAN = 5;
constexpr DWORD REG_LINK = 6;
constexpr DWORD REG_MULTI_SZ = 7;
constexpr DWORD REG_RESOURCE_LIST = 8;
constexpr DWORD REG_FULL_RESOURCE_DESCRIPTOR = 9;
constexpr DWORD REG_RESOURCE_REQUIREMENTS_LIST = 10;
constexpr DWORD REG_QWORD = 11;
constexpr DWORD REG_QWORD_LITTLE_ENDIAN = 11;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition);
LONG RegCloseKey(HKEY key);
LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size);
LONG RegDeleteValueA(HKEY key, LPCSTR valueName);
// Beyond what the tweak code needs: enumeration and key deletion for gorvane-reg.
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR className,
                   LPDWORD classSize, void* lastWriteTime);
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize);
LONG RegDeleteKeyExA(HKEY key, LPCSTR subKey, REGSAM view, DWORD reserved);
LONG RegDeleteTreeA(HKEY key, LPCSTR subKey);

#endif

// The 32-bit number of a predefined root key (0x80000002 for HKEY_LOCAL_MACHINE), 0 for none.
inline std::uint32_t RootKeyNumber(HKEY key) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(key));
}
