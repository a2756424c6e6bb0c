#include "registry/tests/RecordingBackend.h"

namespace {
constexpr REGSAM kViewFlags = KEY_WOW64_64KEY | KEY_WOW64_32KEY;
}

std::vector<REGSAM> TRecordingBackend::Masks() const {
    std::vector<REGSAM> masks;
    for (const auto& open : Opens)
        masks.push_back(open.Mask);
    return masks;
}

bool TRecordingBackend::Forced(const char* function, LONG& code) const {
    auto it = Failures.find(function);
    if (it == Failures.end())
        return false;
    code = it->second;
    return true;
}

LONG TRecordingBackend::OpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
    LONG code = ERROR_SUCCESS;
    if (!Forced("RegOpenKeyExA", code))
        code = (desired & ~kViewFlags & ~Granted) ? ERROR_ACCESS_DENIED
                                                  : Inner.OpenKeyEx(key, subKey, options, desired, result);
    Opens.push_back({"RegOpenKeyExA", subKey ? subKey : "", desired, code});
    OpenHandles += code == ERROR_SUCCESS;
    return code;
}

LONG TRecordingBackend::CreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options,
                                    REGSAM desired, LPSECURITY_ATTRIBUTES security, PHKEY result,
                                    LPDWORD disposition) {
    LONG code = ERROR_SUCCESS;
    if (!Forced("RegCreateKeyExA", code))
        code = (desired & ~kViewFlags & ~Granted)
                   ? ERROR_ACCESS_DENIED
                   : Inner.CreateKeyEx(key, subKey, reserved, className, options, desired, security, result,
                                       disposition);
    Opens.push_back({"RegCreateKeyExA", subKey ? subKey : "", desired, code});
    OpenHandles += code == ERROR_SUCCESS;
    return code;
}

LONG TRecordingBackend::CloseKey(HKEY key) {
    LONG code = Inner.CloseKey(key);
    OpenHandles -= code == ERROR_SUCCESS;
    return code;
}

LONG TRecordingBackend::QueryValueEx(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                                     LPDWORD size) {
    LONG code = ERROR_SUCCESS;
    return Forced("RegQueryValueExA", code) ? code
                                            : Inner.QueryValueEx(key, valueName, reserved, type, data, size);
}

LONG TRecordingBackend::SetValueEx(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                                   DWORD size) {
    LONG code = ERROR_SUCCESS;
    return Forced("RegSetValueExA", code) ? code
                                          : Inner.SetValueEx(key, valueName, reserved, type, data, size);
}

LONG TRecordingBackend::DeleteValue(HKEY key, LPCSTR valueName) {
    LONG code = ERROR_SUCCESS;
    return Forced("RegDeleteValueA", code) ? code : Inner.DeleteValue(key, valueName);
}

LONG TRecordingBackend::EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved,
                                  LPSTR className, LPDWORD classSize, void* lastWriteTime) {
    return Inner.EnumKeyEx(key, index, name, nameSize, reserved, className, classSize, lastWriteTime);
}

LONG TRecordingBackend::EnumValue(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize,
                                  LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    return Inner.EnumValue(key, index, valueName, valueNameSize, reserved, type, data, dataSize);
}

LONG TRecordingBackend::DeleteKeyEx(HKEY key, LPCSTR subKey, REGSAM view, DWORD reserved) {
    return Inner.DeleteKeyEx(key, subKey, view, reserved);
}

LONG TRecordingBackend::DeleteTree(HKEY key, LPCSTR subKey) {
    return Inner.DeleteTree(key, subKey);
}
