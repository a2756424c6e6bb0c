#pragma once
// A backend for tests: forwards to another backend, records the access mask of every open and
// create, and can refuse rights or make chosen functions fail.
#include "registry/RegBackend.h"

#include <map>
#include <string>
#include <vector>

struct TRecordedOpen {
    std::string Function; // "RegOpenKeyExA" or "RegCreateKeyExA"
    std::string SubKey;
    REGSAM Mask = 0;
    LONG Result = 0;
};

class TRecordingBackend final : public TRegBackend {
public:
    explicit TRecordingBackend(TRegBackend& inner) : Inner(inner) {}

    // Opens and creates that ask for a right outside Granted (view flags aside) are refused with
    // ERROR_ACCESS_DENIED, as for a key whose security grants only these rights.
    REGSAM Granted = ~REGSAM{0};
    // Function name ("RegSetValueExA") -> the error it returns instead of doing its work.
    std::map<std::string, LONG> Failures;

    std::vector<TRecordedOpen> Opens;
    int OpenHandles = 0;

    std::vector<REGSAM> Masks() const;

    LONG OpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) override;
    LONG CreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) override;
    LONG CloseKey(HKEY key) override;
    LONG QueryValueEx(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size) override;
    LONG SetValueEx(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size) override;
    LONG DeleteValue(HKEY key, LPCSTR valueName) override;
    LONG EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR className,
                   LPDWORD classSize, void* lastWriteTime) override;
    LONG EnumValue(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize) override;
    LONG DeleteKeyEx(HKEY key, LPCSTR subKey, REGSAM view, DWORD reserved) override;
    LONG DeleteTree(HKEY key, LPCSTR subKey) override;

private:
    bool Forced(const char* function, LONG& code) const;
    TRegBackend& Inner;
};

// Makes a backend current for the lifetime of the object.
class TBackendScope {
public:
    explicit TBackendScope(TRegBackend& backend) : Previous(SetRegBackend(&backend)) {}
    ~TBackendScope() { SetRegBackend(Previous); }
    TBackendScope(const TBackendScope&) = delete;
    TBackendScope& operator=(const TBackendScope&) = delete;

private:
    TRegBackend* Previous;
};
