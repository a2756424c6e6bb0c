#include "settings/vxMulticonfigRead.h"

#include "registry/hlvRegistry.h"

int TMultiConfigReader::AddRootKey(HKEY RootKey) {
    FRootKeys.push_back(RootKey);
    return static_cast<int>(FRootKeys.size()) - 1;
}

bool TMultiConfigReader::ReadInteger(const std::string& ValueName, std::int32_t& Value) const {
    TRegistry registry;
    bool found = false;
    // Every read overwrites Value, so the place read last wins: walk from the lowest precedence up.
    for (auto root = FRootKeys.rbegin(); root != FRootKeys.rend(); ++root) {
        registry.SetHive(*root);
        for (const auto& path : KeyPaths) {
            if (!registry.OpenKeyReadOnly(path))
                continue;
            DWORD type = REG_NONE;
            if (registry.GetValueWinType(ValueName, &type) && type == REG_DWORD) {
                try {
                    Value = registry.ReadInteger(ValueName);
                    found = true;
                } catch (const ERegistryException&) {
                    // Changed under our feet or malformed: counts as absent, like any other type.
                }
            }
            registry.ReleaseKey();
        }
    }
    return found;
}

bool ReadMultiConfigInteger(const std::vector<HKEY>& RootKeys, const std::vector<std::string>& KeyPaths,
                            const std::string& ValueName, std::int32_t& Value) {
    TMultiConfigReader reader;
    for (HKEY root : RootKeys)
        reader.AddRootKey(root);
    for (const auto& path : KeyPaths)
        reader.KeyPaths.push_back(path);
    return reader.ReadInteger(ValueName, Value);
}
