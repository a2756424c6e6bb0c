#include "registry/tests/RegistryTest.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <process.h>
#else
#include "registry/store/RegStore.h"
#include <unistd.h>
#endif

namespace {
std::atomic<int> testCounter{0};

#ifdef _WIN32
void DeleteScratch(HKEY root, const std::string& path, REGSAM view) {
    HKEY parent = nullptr;
    if (RegOpenKeyExA(root, "", 0, KEY_ALL_ACCESS | view, &parent) != ERROR_SUCCESS)
        return;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) == ERROR_SUCCESS) {
        RegDeleteTreeA(key, nullptr);
        RegCloseKey(key);
        RegDeleteKeyExA(root, path.c_str(), view, 0);
    }
    RegCloseKey(parent);
}
#endif
} // namespace

std::vector<std::string> RegistryBackends() {
    return {"system", "recording"};
}

std::string BackendName(const ::testing::TestParamInfo<std::string>& info) {
    if (info.param == "recording")
        return "Recording";
    return kStoreBackend ? "Store" : "Windows";
}

void TRegistryTest::SetUp() {
#ifdef _WIN32
    Id = "T" + std::to_string(_getpid()) + "_" + std::to_string(testCounter++);
#else
    Id = "T" + std::to_string(getpid()) + "_" + std::to_string(testCounter++);
    std::string pattern = (std::filesystem::temp_directory_path() / "gorvane-registry-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    Folder = pattern;
    setenv("GORVANE_REGISTRY_DIR", Folder.c_str(), 1);
    GorvaneStoreReset();
#endif
    if (GetParam() == "recording") {
        OwnRecorder = std::make_unique<TRecordingBackend>(SystemRegBackend());
        Recorder = OwnRecorder.get();
        Scope = std::make_unique<TBackendScope>(*Recorder);
    }
}

void TRegistryTest::TearDown() {
    Scope.reset();
    OwnRecorder.reset();
    Recorder = nullptr;
#ifdef _WIN32
    DeleteScratch(HKEY_CURRENT_USER, UserPath(), 0);
    DeleteScratch(HKEY_LOCAL_MACHINE, MachinePath(), KEY_WOW64_64KEY);
    DeleteScratch(HKEY_LOCAL_MACHINE, MachinePath(), KEY_WOW64_32KEY);
#else
    GorvaneStoreReset();
    unsetenv("GORVANE_REGISTRY_DIR");
    std::error_code ignored;
    std::filesystem::remove_all(Folder, ignored);
#endif
}

std::string TRegistryTest::UserPath(const std::string& sub) const {
    return "Software\\GorvaneTests\\" + Id + (sub.empty() ? "" : "\\" + sub);
}

std::string TRegistryTest::MachinePath(const std::string& sub) const {
    return "SOFTWARE\\GorvaneTests\\" + Id + (sub.empty() ? "" : "\\" + sub);
}

HKEY TRegistryTest::Create(HKEY root, const std::string& path, REGSAM mask) {
    HKEY key = nullptr;
    const LONG rc = RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, mask, nullptr,
                                    &key, nullptr);
    EXPECT_EQ(rc, ERROR_SUCCESS) << path;
    return key;
}

void TRegistryTest::SetRaw(HKEY key, const char* name, DWORD type, const std::string& bytes) {
    EXPECT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS)
        << name;
}

std::string TRegistryTest::Bytes(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes)
        out += static_cast<char>(b);
    return out;
}
