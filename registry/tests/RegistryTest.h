#pragma once
// The fixture of the registry tests: every test gets a key of its own below HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, removed afterwards; off Windows the store itself lives in a fresh folder.
// The parameter names the backend: the system's own, or the recording one in front of it.
#include "registry/RegBackend.h"
#include "registry/tests/RecordingBackend.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TRegistryTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override;
    void TearDown() override;

    // "Software\GorvaneTests\<id>" (user) and "SOFTWARE\GorvaneTests\<id>" (machine), with `sub`.
    std::string UserPath(const std::string& sub = "") const;
    std::string MachinePath(const std::string& sub = "") const;

    // Small helpers that fail the test when the registry refuses.
    HKEY Create(HKEY root, const std::string& path, REGSAM mask = KEY_ALL_ACCESS);
    void SetRaw(HKEY key, const char* name, DWORD type, const std::string& bytes);
    static std::string Bytes(std::initializer_list<int> bytes);

    TRecordingBackend* Recorder = nullptr; // the recording backend when the parameter asks for it
    std::string Folder;                    // the store's folder (not on Windows)

private:
    std::string Id;
    std::unique_ptr<TRecordingBackend> OwnRecorder;
    std::unique_ptr<TBackendScope> Scope;
};

std::vector<std::string> RegistryBackends();
std::string BackendName(const ::testing::TestParamInfo<std::string>& info);

#define GORVANE_REGISTRY_SUITE(suite)                                                                        \
    INSTANTIATE_TEST_SUITE_P(Backends, suite, ::testing::ValuesIn(RegistryBackends()), BackendName)

#ifdef _WIN32
constexpr bool kStoreBackend = false;
#else
constexpr bool kStoreBackend = true;
#endif
// The view a call without a view flag gets: the process's own.
constexpr REGSAM kOwnViewFlag = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
