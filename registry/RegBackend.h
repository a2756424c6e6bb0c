#pragma once
// One interface for every implementation of the registry functions in WinReg.h: the system's
// registry on Windows, the stand-alone store elsewhere, and wrappers that tests put in front.
// The Reg*A functions of WinReg.h forward to the current backend.
#include "registry/WinReg.h"

class TRegBackend {
public:
    virtual ~TRegBackend() = default;
    virtual LONG OpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) = 0;
    virtual LONG CreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options,
                             REGSAM desired, LPSECURITY_ATTRIBUTES security, PHKEY result,
                             LPDWORD disposition) = 0;
    virtual LONG CloseKey(HKEY key) = 0;
    virtual LONG QueryValueEx(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                              LPDWORD size) = 0;
    virtual LONG SetValueEx(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                            DWORD size) = 0;
    virtual LONG DeleteValue(HKEY key, LPCSTR valueName) = 0;
    virtual LONG EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                           LPSTR className, LPDWORD classSize, void* lastWriteTime) = 0;
    virtual LONG EnumValue(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                           LPDWORD type, LPBYTE data, LPDWORD dataSize) = 0;
    virtual LONG DeleteKeyEx(HKEY key, LPCSTR subKey, REGSAM view, DWORD reserved) = 0;
    virtual LONG DeleteTree(HKEY key, LPCSTR subKey) = 0;
};

// The platform's own registry: the store off Windows, advapi32 on Windows.
TRegBackend& SystemRegBackend();
// The backend the Reg*A functions use now (the system's unless a test replaced it).
TRegBackend& CurrentRegBackend();
// Makes `backend` current (nullptr: the system's again) and returns the previous one. Not for use
// while another thread is inside a registry call.
TRegBackend* SetRegBackend(TRegBackend* backend);
