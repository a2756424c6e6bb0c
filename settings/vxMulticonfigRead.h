#pragma once
// Looks one integer setting up in several places of the registry and returns the value of the
// place with the highest precedence: the first root key added over every later one, and within
// one root key a later key path over an earlier one.
#include "registry/WinReg.h"

#include <cstdint>
#include <string>
#include <vector>

class TMultiConfigReader {
public:
    TMultiConfigReader() = default;

    // Key paths begin with a backslash and are opened below each root key; callers append them.
    std::vector<std::string> KeyPaths;

    int AddRootKey(HKEY RootKey);
    int RootKeyCount() const { return static_cast<int>(FRootKeys.size()); }
    HKEY RootKeys(int Index) const { return FRootKeys.at(static_cast<std::size_t>(Index)); }

    // True when a REG_DWORD value of that name was found in at least one place; Value then holds
    // the one of highest precedence, otherwise it keeps what it had. Never raises.
    bool ReadInteger(const std::string& ValueName, std::int32_t& Value) const;

private:
    std::vector<HKEY> FRootKeys;
};

bool ReadMultiConfigInteger(const std::vector<HKEY>& RootKeys, const std::vector<std::string>& KeyPaths,
                            const std::string& ValueName, std::int32_t& Value);
