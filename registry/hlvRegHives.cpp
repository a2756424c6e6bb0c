#include "registry/hlvRegHives.h"

#include "registry/hlvRegistry.h"

bool RegisterEventLogSource(const std::string& LogName, const std::string& SourceName,
                            const std::string& MessageFile, std::uint32_t TypesSupported,
                            std::uint32_t CategoryCount) {
    TMyRegistry registry;
    registry.SetHive(HKEY_LOCAL_MACHINE);
    const std::string path =
        "SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + LogName + "\\" + SourceName + "\\";
    if (!registry.SelectKey(path, true))
        return false;
    registry.WriteText("EventMessageFile", MessageFile);
    registry.WriteDword("TypesSupported", static_cast<std::int32_t>(TypesSupported));
    if (CategoryCount != 0) {
        registry.WriteText("CategoryMessageFile", MessageFile);
        registry.WriteDword("CategoryCount", static_cast<std::int32_t>(CategoryCount));
    }
    registry.ReleaseKey();
    return true;
}

void RegisterHiveManagerEventSource() {
    constexpr std::uint32_t kErrorWarningInformation = 1 | 2 | 4;
    try {
        RegisterEventLogSource("Application", "HLV HiveManager", "", kErrorWarningInformation, 2);
    } catch (const ERegistryException&) {
        // A write refused after the key opened (a full disk, say) must not stop the program from
        // starting; the registration is only a courtesy to the event viewer.
    }
}
