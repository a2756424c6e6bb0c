// TMultiConfigReader: precedence of root keys and key paths, and what counts as found.
#include "registry/tests/RegistryTest.h"
#include "settings/vxMulticonfigRead.h"

namespace {

class MultiConfig : public TRegistryTest {
protected:
    void Put(HKEY root, const std::string& sub, const char* name, DWORD type, const std::string& bytes) {
        HKEY key = Create(root, UserPath(sub));
        SetRaw(key, name, type, bytes);
        RegCloseKey(key);
    }
    void PutDword(HKEY root, const std::string& sub, const char* name, int value) {
        Put(root, sub, name, REG_DWORD, Bytes({value & 0xff, (value >> 8) & 0xff, 0, 0}));
    }
    std::string Path(const std::string& sub) const { return "\\" + UserPath(sub); }
    const std::vector<HKEY> MachineFirst{HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
};

TEST_P(MultiConfig, FirstRootKeyOverridesLaterOnes) {
    PutDword(HKEY_LOCAL_MACHINE, "Form", "Left", 10);
    PutDword(HKEY_CURRENT_USER, "Form", "Left", 20);
    PutDword(HKEY_CURRENT_USER, "Form", "Top", 30);
    std::int32_t value = -1;
    EXPECT_TRUE(ReadMultiConfigInteger(MachineFirst, {Path("Form")}, "Left", value));
    EXPECT_EQ(value, 10);
    EXPECT_TRUE(
        ReadMultiConfigInteger({HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}, {Path("Form")}, "Left", value));
    EXPECT_EQ(value, 20);
    EXPECT_TRUE(ReadMultiConfigInteger(MachineFirst, {Path("Form")}, "Top", value));
    EXPECT_EQ(value, 30);
}

TEST_P(MultiConfig, LaterKeyPathOverridesEarlierOnesWithinARoot) {
    PutDword(HKEY_CURRENT_USER, "A", "v", 1);
    PutDword(HKEY_CURRENT_USER, "B", "v", 2);
    PutDword(HKEY_LOCAL_MACHINE, "A", "w", 3);
    PutDword(HKEY_CURRENT_USER, "B", "w", 4);
    TMultiConfigReader reader;
    EXPECT_EQ(reader.AddRootKey(HKEY_LOCAL_MACHINE), 0);
    EXPECT_EQ(reader.AddRootKey(HKEY_CURRENT_USER), 1);
    EXPECT_EQ(reader.RootKeyCount(), 2);
    EXPECT_EQ(reader.RootKeys(1), HKEY_CURRENT_USER);
    reader.KeyPaths = {Path("A"), Path("missing"), Path("B")};
    std::int32_t value = -1;
    EXPECT_TRUE(reader.ReadInteger("v", value));
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(reader.ReadInteger("w", value));
    EXPECT_EQ(value, 3) << "the root key ranks above the key path";
}

TEST_P(MultiConfig, OnlyFourByteDwordsCount) {
    Put(HKEY_LOCAL_MACHINE, "T", "v", REG_SZ, std::string("100\0", 4));
    Put(HKEY_LOCAL_MACHINE, "T", "b", REG_BINARY, Bytes({9, 0, 0, 0}));
    Put(HKEY_LOCAL_MACHINE, "T", "s", REG_DWORD, Bytes({9, 0}));
    PutDword(HKEY_CURRENT_USER, "T", "v", 7);
    PutDword(HKEY_CURRENT_USER, "T", "b", 8);
    std::int32_t value = -1;
    EXPECT_TRUE(ReadMultiConfigInteger(MachineFirst, {Path("T")}, "v", value));
    EXPECT_EQ(value, 7);
    EXPECT_TRUE(ReadMultiConfigInteger(MachineFirst, {Path("T")}, "b", value));
    EXPECT_EQ(value, 8);
    value = -1;
    EXPECT_FALSE(ReadMultiConfigInteger(MachineFirst, {Path("T")}, "s", value));
    EXPECT_EQ(value, -1);
}

TEST_P(MultiConfig, NothingFoundLeavesTheVariable) {
    PutDword(HKEY_CURRENT_USER, "N", "v", 5);
    std::int32_t value = 99;
    EXPECT_FALSE(ReadMultiConfigInteger({}, {Path("N")}, "v", value));
    EXPECT_FALSE(ReadMultiConfigInteger(MachineFirst, {}, "v", value));
    EXPECT_FALSE(ReadMultiConfigInteger(MachineFirst, {Path("N")}, "absent", value));
    EXPECT_FALSE(ReadMultiConfigInteger(MachineFirst, {Path("missing")}, "v", value));
    EXPECT_EQ(value, 99);
}

GORVANE_REGISTRY_SUITE(MultiConfig);

class RecordedMultiConfig : public MultiConfig {};

TEST_P(RecordedMultiConfig, OpensReadOnlyInTheDefaultViewAndClosesEveryKey) {
    PutDword(HKEY_CURRENT_USER, "R", "v", 5);
    PutDword(HKEY_LOCAL_MACHINE, "R", "v", 6);
    Recorder->Opens.clear();
    std::int32_t value = 0;
    EXPECT_TRUE(ReadMultiConfigInteger(MachineFirst, {Path("R"), Path("missing")}, "v", value));
    EXPECT_EQ(value, 6);
    // Two roots by two paths; a missing key costs the three read-only attempts.
    ASSERT_EQ(Recorder->Opens.size(), 2u * (1 + 3));
    for (const auto& open : Recorder->Opens) {
        EXPECT_EQ(open.Function, "RegOpenKeyExA");
        EXPECT_EQ(open.Mask & (KEY_WRITE | KEY_WOW64_64KEY | KEY_WOW64_32KEY) & ~STANDARD_RIGHTS_READ, 0u);
    }
    EXPECT_EQ(Recorder->OpenHandles, 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordedMultiConfig, ::testing::Values("recording"), BackendName);

} // namespace
