// TMyRegistry: width, path handling, read-only fallbacks, kinds and text conversions.
#include "registry/hlvRegistry.h"
#include "registry/tests/RegistryTest.h"

namespace {

using K = TRegDataType;

template <typename F> std::string ErrorOf(F&& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "no error";
}

class AccessObject : public TRegistryTest {
protected:
    // A key below the scratch key holding one raw value "v".
    void WithValue(DWORD type, const std::string& bytes) {
        HKEY key = Create(HKEY_CURRENT_USER, UserPath());
        SetRaw(key, "v", type, bytes);
        RegCloseKey(key);
        ASSERT_TRUE(Reg.SelectKey("\\" + UserPath(), false));
    }
    TMyRegistry Reg;
};

TEST_P(AccessObject, SetBitsAcceptsOnly32And64) {
    EXPECT_EQ(Reg.GetBits(), 32);
    EXPECT_EQ(Reg.AccessMask, KEY_ALL_ACCESS);
    EXPECT_EQ(ErrorOf([&] { Reg.SetBits(48); }), "Windows Registry only supported with 32 or 64 bits!");
    EXPECT_EQ(Reg.GetBits(), 32);
    EXPECT_EQ(Reg.AccessMask, KEY_ALL_ACCESS);

    Reg.AccessMask = KEY_ALL_ACCESS | KEY_WOW64_32KEY;
    Reg.SetBits(64);
    EXPECT_EQ(Reg.AccessMask, KEY_ALL_ACCESS | KEY_WOW64_64KEY);
    Reg.SetBits(32);
    EXPECT_EQ(Reg.AccessMask, KEY_ALL_ACCESS);
    EXPECT_THROW(Reg.SetBits(0), Exception);
}

TEST_P(AccessObject, PathsWithAndWithoutBackslash) {
    ASSERT_TRUE(Reg.SelectKey("\\" + UserPath("P"), true));
    EXPECT_EQ(Reg.CurrentKeyPath(), UserPath("P"));
    Reg.WriteText("v", "x");
    Reg.ReleaseKey();
    EXPECT_EQ(Reg.CurrentHandle(), nullptr);
    EXPECT_EQ(Reg.CurrentKeyPath(), "");

    ASSERT_TRUE(Reg.SelectKey(UserPath("P"), false));
    EXPECT_EQ(Reg.ReadText("v"), "x");
    // Relative to the selected key, and absolute again.
    ASSERT_TRUE(Reg.SelectKey("Q", true));
    EXPECT_EQ(Reg.CurrentKeyPath(), UserPath("P") + "\\Q");
    ASSERT_TRUE(Reg.SelectKeyReadOnly("\\" + UserPath("P")));
    EXPECT_EQ(Reg.CurrentKeyPath(), UserPath("P"));
    EXPECT_EQ(Reg.ReadText("v"), "x");
    ASSERT_TRUE(Reg.SelectKey("", false));
    EXPECT_EQ(Reg.CurrentKeyPath(), UserPath("P") + "\\");
}

TEST_P(AccessObject, SelectKeyCreatesOnlyWhenAsked) {
    EXPECT_FALSE(Reg.SelectKey(UserPath("a\\b\\c"), false));
    EXPECT_FALSE(Reg.SelectKeyReadOnly(UserPath("a\\b\\c")));
    ASSERT_TRUE(Reg.SelectKey(UserPath("keep"), true));
    const HKEY kept = Reg.CurrentHandle();
    EXPECT_FALSE(Reg.SelectKey("\\" + UserPath("a\\b\\c"), false));
    EXPECT_EQ(Reg.CurrentHandle(), kept) << "a failed selection leaves the current key";
    ASSERT_TRUE(Reg.SelectKey("\\" + UserPath("a\\b\\c"), true));
    EXPECT_TRUE(Reg.SelectKeyReadOnly("\\" + UserPath("a\\b")));
}

TEST_P(AccessObject, ChangingTheHiveReleasesTheKey) {
    ASSERT_TRUE(Reg.SelectKey(UserPath(), true));
    Reg.SetHive(HKEY_CURRENT_USER);
    EXPECT_NE(Reg.CurrentHandle(), nullptr);
    Reg.SetHive(HKEY_LOCAL_MACHINE);
    EXPECT_EQ(Reg.CurrentHandle(), nullptr);
    EXPECT_EQ(Reg.GetHive(), HKEY_LOCAL_MACHINE);
}

TEST_P(AccessObject, KindsOfStoredTypes) {
    struct Case {
        DWORD Type;
        std::string Bytes;
        K Kind;
    };
    const Case cases[] = {
        {REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0}), K::rdInt64},
        {REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0, 1}), K::rdBigEndianInteger},
        {REG_LINK, "x", K::rdLink},
        {12, "x", K::rdUnknown},
        {0x7fffffff, "", K::rdUnknown},
    };
    for (const auto& c : cases) {
        WithValue(c.Type, c.Bytes);
        TRegValueInfo info;
        ASSERT_TRUE(Reg.QueryValueInfo("v", info));
        EXPECT_EQ(info.Kind, c.Kind) << c.Type;
        EXPECT_EQ(info.WinType, c.Type);
        EXPECT_EQ(Reg.ValueSize("v"), static_cast<std::int32_t>(c.Bytes.size()));
        EXPECT_EQ(Reg.ValueKind("v"), c.Kind);
    }
    EXPECT_FALSE(Reg.HasValue("absent"));
    EXPECT_EQ(Reg.ValueSize("absent"), -1);
    EXPECT_EQ(Reg.ValueKind("absent"), K::rdUnknown);
}

TEST(KindMapping, KindsWithoutATypeOfTheirOwn) {
    EXPECT_EQ(WinTypeFromKind(K::rdUnknown), REG_NONE);
    EXPECT_EQ(WinTypeFromKind(K::rdLittleEndianInteger), REG_DWORD);
    EXPECT_EQ(WinTypeFromKind(K::rdCardinal), REG_DWORD);
    EXPECT_EQ(WinTypeFromKind(K::rdLittleEndianInt64), REG_QWORD);
    // Every type 0..11 goes there and back.
    for (DWORD type = 0; type <= REG_QWORD; ++type)
        EXPECT_EQ(WinTypeFromKind(KindFromWinType(type)), type);
    EXPECT_EQ(KindFromWinType(12), K::rdUnknown);
}

TEST_P(AccessObject, ReadText) {
    struct Case {
        const char* What;
        DWORD Type;
        std::string Bytes;
        std::string Text;
    };
    const Case cases[] = {
        {"plain", REG_SZ, std::string("abc\0", 4), "abc"},
        {"zero bytes", REG_SZ, "", ""},
        {"no terminator", REG_SZ, "abc", "abc"},
        {"cut at the first NUL", REG_SZ, std::string("ab\0cd\0", 6), "ab"},
        {"not expanded", REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 15), "%SystemRoot%\\x"},
    };
    for (const auto& c : cases) {
        WithValue(c.Type, c.Bytes);
        EXPECT_EQ(Reg.ReadText("v"), c.Text) << c.What;
    }
    EXPECT_EQ(Reg.ReadText("absent"), "");
    WithValue(REG_DWORD, Bytes({1, 0, 0, 0}));
    EXPECT_EQ(ErrorOf([&] { Reg.ReadText("v"); }), "Invalid data type for 'v'");
}

TEST_P(AccessObject, ReadTextListEndsEveryStringWithCrLf) {
    const std::pair<std::string, std::string> cases[] = {
        {std::string("a\0b\0\0", 5), "a\r\nb\r\n"}, {std::string("\0", 1), ""},
        {std::string("\0\0", 2), "\r\n"},           {std::string("a\0b", 3), "a\r\nb"},
        {std::string("one\0\0", 5), "one\r\n"},
    };
    for (const auto& [bytes, text] : cases) {
        WithValue(REG_MULTI_SZ, bytes);
        EXPECT_EQ(Reg.ReadTextList("v"), text);
    }
    EXPECT_EQ(Reg.ReadTextList("absent"), "");
    WithValue(REG_SZ, std::string("a\0", 2));
    EXPECT_EQ(ErrorOf([&] { Reg.ReadTextList("v"); }), "Invalid data type for 'v'");
}

TEST_P(AccessObject, ReadDword) {
    struct Case {
        DWORD Type;
        std::string Bytes;
        std::string Outcome;
    };
    const Case cases[] = {
        {REG_DWORD, Bytes({0xff, 0xff, 0xff, 0xff}), "-1"},
        {REG_DWORD, Bytes({0x78, 0x56, 0x34, 0x12}), "305419896"},
        {REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0}), "Failed to get data for 'v'"},
        {REG_SZ, std::string("1\0", 2), "Invalid data type for 'v'"},
        // Too short a REG_DWORD would leave part of the number unread.
        {REG_DWORD, Bytes({7, 0}), "Failed to get data for 'v'"},
    };
    for (const auto& c : cases) {
        WithValue(c.Type, c.Bytes);
        std::string outcome;
        try {
            outcome = std::to_string(Reg.ReadDword("v"));
        } catch (const ERegistryException& e) {
            outcome = e.what();
        }
        EXPECT_EQ(outcome, c.Outcome);
    }
}

TEST_P(AccessObject, WritesStoreTheBytesOfTheirKind) {
    ASSERT_TRUE(Reg.SelectKey(UserPath(), true));
    Reg.WriteText("X", "");
    Reg.WriteText("T", "abc");
    Reg.WriteDword("D", -2);
    const unsigned char eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    Reg.StoreValueData("Q", eight, 8, K::rdLittleEndianInt64);
    Reg.StoreValueData("C", eight, 4, K::rdCardinal);

    struct Case {
        const char* Name;
        DWORD Type;
        std::string Bytes;
    };
    const Case cases[] = {
        {"X", REG_SZ, std::string("\0", 1)},
        {"T", REG_SZ, std::string("abc\0", 4)},
        {"D", REG_DWORD, Bytes({0xfe, 0xff, 0xff, 0xff})},
        {"Q", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
        {"C", REG_DWORD, Bytes({1, 2, 3, 4})},
    };
    for (const auto& c : cases) {
        char buffer[16] = {};
        K kind = K::rdUnknown;
        const auto n = Reg.QueryValueData(c.Name, buffer, sizeof buffer, kind);
        EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(n)), c.Bytes) << c.Name;
        EXPECT_EQ(WinTypeFromKind(kind), c.Type) << c.Name;
    }
    // A requested rdCardinal survives a REG_DWORD read.
    char buffer[4];
    K kind = K::rdCardinal;
    Reg.QueryValueData("C", buffer, 4, kind);
    EXPECT_EQ(kind, K::rdCardinal);
    kind = K::rdCardinal;
    char wide[8];
    Reg.QueryValueData("Q", wide, 8, kind);
    EXPECT_EQ(kind, K::rdInt64);
    EXPECT_EQ(ErrorOf([&] { Reg.QueryValueData("absent", buffer, 4, kind); }),
              "Failed to get data for 'absent'");
    EXPECT_EQ(ErrorOf([&] { Reg.QueryValueData("Q", buffer, 4, kind); }), "Failed to get data for 'Q'");

    EXPECT_TRUE(Reg.RemoveValue("T"));
    EXPECT_FALSE(Reg.RemoveValue("T"));
}

GORVANE_REGISTRY_SUITE(AccessObject);

// Masks and rights, seen through the recording backend.
class RecordedAccess : public AccessObject {};

TEST_P(RecordedAccess, Bits64PutsTheWidthFlagOnEveryOpen) {
    for (std::uint8_t bits : {32, 64}) {
        Recorder->Opens.clear();
        TMyRegistry reg;
        reg.SetBits(bits);
        ASSERT_TRUE(reg.SelectKey(UserPath("w"), true));
        ASSERT_TRUE(reg.SelectKey("\\" + UserPath("w"), false));
        ASSERT_TRUE(reg.SelectKeyReadOnly("\\" + UserPath("w")));
        ASSERT_EQ(Recorder->Opens.size(), 3u);
        for (const auto& open : Recorder->Opens)
            EXPECT_EQ(open.Mask & KEY_VIEW_MASK, bits == 64 ? KEY_WOW64_64KEY : 0u)
                << open.Function << " with Bits " << int(bits);
    }
}

TEST_P(RecordedAccess, ReadOnlyFallsBackToSmallerRights) {
    ASSERT_TRUE(Reg.SelectKey(UserPath(), true));
    Reg.ReleaseKey();
    Recorder->Opens.clear();
    Recorder->Granted = KEY_QUERY_VALUE;
    Reg.AccessMask = KEY_ALL_ACCESS | KEY_WOW64_32KEY;
    ASSERT_TRUE(Reg.SelectKeyReadOnly(UserPath()));
    EXPECT_EQ(Recorder->Masks(),
              (std::vector<REGSAM>{KEY_READ | KEY_WOW64_32KEY, KEY_READ_NO_NOTIFY | KEY_WOW64_32KEY,
                                   KEY_QUERY_VALUE | KEY_WOW64_32KEY}));
    EXPECT_EQ(Reg.AccessMask, KEY_ALL_ACCESS | KEY_WOW64_32KEY);

    Recorder->Granted = 0;
    EXPECT_FALSE(Reg.SelectKeyReadOnly(UserPath()));
    EXPECT_EQ(Reg.AccessMask, KEY_ALL_ACCESS | KEY_WOW64_32KEY);
    EXPECT_FALSE(Reg.SelectKey(UserPath(), false));
}

TEST_P(RecordedAccess, RefusedWriteRaises) {
    ASSERT_TRUE(Reg.SelectKey(UserPath(), true));
    Recorder->Failures["RegSetValueExA"] = ERROR_ACCESS_DENIED;
    EXPECT_EQ(ErrorOf([&] { Reg.WriteText("name", "x"); }), "Failed to set data for 'name'");
    EXPECT_EQ(ErrorOf([&] { Reg.WriteDword("", 1); }), "Failed to set data for ''");
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordedAccess, ::testing::Values("recording"), BackendName);

} // namespace
