// The Windows backend: the system's registry functions of advapi32.
#define GORVANE_SYSTEM_REGISTRY_CALLS
#include "registry/RegBackend.h"

namespace {

class TWinBackend final : public TRegBackend {
public:
    LONG OpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) override {
        return ::RegOpenKeyExA(key, subKey, options, desired, result);
    }
    LONG CreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) override {
        return ::RegCreateKeyExA(key, subKey, reserved, className, options, desired, security, result,
                                 disposition);
    }
    LONG CloseKey(HKEY key) override { return ::RegCloseKey(key); }
    LONG QueryValueEx(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size) override {
        return ::RegQueryValueExA(key, valueName, reserved, type, data, size);
    }
    LONG SetValueEx(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size) override {
        return ::RegSetValueExA(key, valueName, reserved, type, data, size);
    }
    LONG DeleteValue(HKEY key, LPCSTR valueName) override { return ::RegDeleteValueA(key, valueName); }
    LONG EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR className,
                   LPDWORD classSize, void* lastWriteTime) override {
        return ::RegEnumKeyExA(key, index, name, nameSize, reserved, className, classSize,
                               static_cast<PFILETIME>(lastWriteTime));
    }
    LONG EnumValue(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize) override {
        return ::RegEnumValueA(key, index, valueName, valueNameSize, reserved, type, data, dataSize);
    }
    LONG DeleteKeyEx(HKEY key, LPCSTR subKey, REGSAM view, DWORD reserved) override {
        return ::RegDeleteKeyExA(key, subKey, view, reserved);
    }
    LONG DeleteTree(HKEY key, LPCSTR subKey) override { return ::RegDeleteTreeA(key, subKey); }
};

} // namespace

TRegBackend& SystemRegBackend() {
    static TWinBackend backend;
    return backend;
}
