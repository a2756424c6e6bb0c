#include "registry/RegBackend.h"

#include <atomic>

namespace {
std::atomic<TRegBackend*> current{nullptr};
}

TRegBackend& CurrentRegBackend() {
    TRegBackend* backend = current.load(std::memory_order_acquire);
    return backend ? *backend : SystemRegBackend();
}

TRegBackend* SetRegBackend(TRegBackend* backend) {
    TRegBackend* previous = current.exchange(backend, std::memory_order_acq_rel);
    return previous ? previous : &SystemRegBackend();
}

// On Windows WinReg.h renames these to GorvaneReg*, leaving the system's names to the Windows backend.
LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
    return CurrentRegBackend().OpenKeyEx(key, subKey, options, desired, result);
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
    return CurrentRegBackend().CreateKeyEx(key, subKey, reserved, className, options, desired, security,
                                           result, disposition);
}

LONG RegCloseKey(HKEY key) {
    return CurrentRegBackend().CloseKey(key);
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
    return CurrentRegBackend().QueryValueEx(key, valueName, reserved, type, data, size);
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
    return CurrentRegBackend().SetValueEx(key, valueName, reserved, type, data, size);
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName) {
    return CurrentRegBackend().DeleteValue(key, valueName);
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR className,
                   LPDWORD classSize, void* lastWriteTime) {
    return CurrentRegBackend().EnumKeyEx(key, index, name, nameSize, reserved, className, classSize,
                                         lastWriteTime);
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    return CurrentRegBackend().EnumValue(key, index, valueName, valueNameSize, reserved, type, data,
                                         dataSize);
}

LONG RegDeleteKeyExA(HKEY key, LPCSTR subKey, REGSAM view, DWORD reserved) {
    return CurrentRegBackend().DeleteKeyEx(key, subKey, view, reserved);
}

LONG RegDeleteTreeA(HKEY key, LPCSTR subKey) {
    return CurrentRegBackend().DeleteTree(key, subKey);
}
