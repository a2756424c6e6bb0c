// gorvane-store-probe: a second process for the store's tests (rights, crashes, concurrent
// writers, a full disk). Writes go below HKEY_CURRENT_USER unless the mode says otherwise.
#include "registry/hlvRegHives.h"
#include "registry/hlvRegTools.h"
#include "registry/store/RegStore.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>

namespace {

int Usage(FILE* out) {
    std::fputs("usage: gorvane-store-probe MODE ARGS...\n"
               "  stream KEY COUNT          write v0..v<COUNT-1>, printing each index once written\n"
               "  writer KEY PREFIX COUNT   write PREFIX0..PREFIX<COUNT-1>, exit 1 if one fails\n"
               "  set KEY NAME TEXT         write one REG_SZ value\n"
               "  fill KEY LIMIT            write 4 KiB values with files limited to LIMIT bytes\n"
               "  rights                    try reads and writes of both stores, printing the codes\n"
               "The store is the one GORVANE_REGISTRY_DIR names.\n",
               out);
    return out == stdout ? 0 : 2;
}

void Print(const char* what, LONG code) {
    std::printf("%s %ld\n", what, static_cast<long>(code));
}

LONG TryOpen(HKEY root, const char* path, REGSAM mask) {
    HKEY key = nullptr;
    LONG code = RegOpenKeyExA(root, path, 0, mask, &key);
    if (code == ERROR_SUCCESS)
        RegCloseKey(key);
    return code;
}

LONG TryCreate(HKEY root, const char* path) {
    HKEY key = nullptr;
    LONG code = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (code == ERROR_SUCCESS)
        RegCloseKey(key);
    return code;
}

int Rights() {
    std::string text;
    Print("machine-read",
          RegistryReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Probe", "v", 64, text) && text == "machine"
              ? ERROR_SUCCESS
              : ERROR_CANTREAD);
    Print("machine-open-read", TryOpen(HKEY_LOCAL_MACHINE, "SOFTWARE\\Probe", KEY_READ));
    Print("machine-open-write", TryOpen(HKEY_LOCAL_MACHINE, "SOFTWARE\\Probe", KEY_ALL_ACCESS));
    Print("machine-create", TryCreate(HKEY_LOCAL_MACHINE, "SOFTWARE\\Probe\\New"));
    Print("machine-delete", RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Probe"));
    Print("machine-write-string", RegistryWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Probe", "v", 64, "x")
                                      ? ERROR_SUCCESS
                                      : ERROR_ACCESS_DENIED);
    Print("event-source", RegisterEventLogSource("Application", "HLV HiveManager", "", 7, 2)
                              ? ERROR_SUCCESS
                              : ERROR_ACCESS_DENIED);
    RegisterHiveManagerEventSource();
    Print("user-create", TryCreate(HKEY_CURRENT_USER, "Software\\Probe"));
    Print("user-write-string", RegistryWriteString(HKEY_CURRENT_USER, "Software\\Probe", "v", 32, "user")
                                   ? ERROR_SUCCESS
                                   : ERROR_ACCESS_DENIED);
    Print("user-read", RegistryReadString(HKEY_CURRENT_USER, "Software\\Probe", "v", 32, text)
                           ? ERROR_SUCCESS
                           : ERROR_FILE_NOT_FOUND);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--help" || mode == "-h")
        return Usage(stdout);
    if (mode == "rights" && argc == 2)
        return Rights();
    if (mode == "stream" && argc == 4) {
        const int count = std::atoi(argv[3]);
        for (int i = 0; i < count; ++i) {
            if (!RegistryWriteString(HKEY_CURRENT_USER, argv[2], "v" + std::to_string(i), 32,
                                     std::to_string(i)))
                return 1;
            std::printf("%d\n", i);
            std::fflush(stdout);
        }
        return 0;
    }
    if (mode == "writer" && argc == 5) {
        const int count = std::atoi(argv[4]);
        for (int i = 0; i < count; ++i)
            if (!RegistryWriteInteger(HKEY_CURRENT_USER, argv[2], argv[3] + std::to_string(i), 32, i)) {
                std::fprintf(stderr, "write %d failed: %s\n", i, GorvaneStoreLastError().c_str());
                return 1;
            }
        return 0;
    }
    if (mode == "set" && argc == 5)
        return RegistryWriteString(HKEY_CURRENT_USER, argv[2], argv[3], 32, argv[4]) ? 0 : 1;
    if (mode == "fill" && argc == 4) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(std::atoll(argv[3])),
                           static_cast<rlim_t>(std::atoll(argv[3]))};
        setrlimit(RLIMIT_FSIZE, &limit);
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, argv[2], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) != ERROR_SUCCESS)
            return 1;
        const std::string data(4096, 'x');
        for (int i = 0;; ++i) {
            const std::string name = "v" + std::to_string(i);
            LONG code =
                RegSetValueExA(key, name.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(data.data()),
                               static_cast<DWORD>(data.size()));
            if (code != ERROR_SUCCESS) {
                std::printf("failed %ld %s\n", static_cast<long>(code), GorvaneStoreLastError().c_str());
                return 0;
            }
            std::printf("%d\n", i);
            std::fflush(stdout);
        }
    }
    return Usage(stderr);
}
