// The one-shot value operations, their undo backups, and the event-log source registration.
#include "registry/hlvRegHives.h"
#include "registry/hlvRegTools.h"
#include "registry/hlvRegistry.h"
#include "registry/tests/RegistryTest.h"

namespace {

class ValueOperations : public TRegistryTest {
protected:
    static std::pair<DWORD, std::string> Typed(DWORD type, std::string bytes) {
        return {type, std::move(bytes)};
    }
    void Put(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& bytes,
             REGSAM view = 0) {
        HKEY key = Create(root, path, KEY_ALL_ACCESS | view);
        SetRaw(key, name, type, bytes);
        RegCloseKey(key);
    }
    bool KeyExists(HKEY root, const std::string& path, REGSAM view = 0) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    std::pair<DWORD, std::string> Raw(HKEY root, const std::string& path, const char* name, REGSAM view = 0) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
            return {0xdeadbeef, "no key"};
        char data[256];
        DWORD type = 0;
        DWORD size = sizeof data;
        const LONG rc = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return {0xdeadbeef, "no value"};
        return {type, std::string(data, size)};
    }
};

TEST_P(ValueOperations, ReadStringTakesTheThreeTextKinds) {
    Put(HKEY_CURRENT_USER, UserPath(), "sz", REG_SZ, std::string("plain\0", 6));
    Put(HKEY_CURRENT_USER, UserPath(), "expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\a\0", 15));
    Put(HKEY_CURRENT_USER, UserPath(), "multi", REG_MULTI_SZ, std::string("a\0b\0\0", 5));
    Put(HKEY_CURRENT_USER, UserPath(), "dword", REG_DWORD, Bytes({1, 0, 0, 0}));
    Put(HKEY_CURRENT_USER, UserPath(), "binary", REG_BINARY, "abc");

    const std::pair<const char*, const char*> texts[] = {
        {"sz", "plain"}, {"expand", "%SystemRoot%\\a"}, {"multi", "a\r\nb\r\n"}};
    for (const auto& [name, text] : texts) {
        std::string value = "unchanged";
        EXPECT_TRUE(RegistryReadString(HKEY_CURRENT_USER, UserPath(), name, 32, value)) << name;
        EXPECT_EQ(value, text);
    }
    for (const char* name : {"dword", "binary", "absent"}) {
        std::string value = "unchanged";
        EXPECT_FALSE(RegistryReadString(HKEY_CURRENT_USER, "\\" + UserPath(), name, 32, value)) << name;
        EXPECT_EQ(value, "unchanged");
    }
    std::string value = "unchanged";
    EXPECT_FALSE(RegistryReadString(HKEY_CURRENT_USER, UserPath("missing"), "sz", 64, value));

    // Written back, a list becomes a REG_SZ of the same characters.
    ASSERT_TRUE(RegistryWriteString(HKEY_CURRENT_USER, UserPath(), "multi", 32, "a\r\nb\r\n"));
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, UserPath(), "multi"), Typed(REG_SZ, std::string("a\r\nb\r\n\0", 7)));
}

TEST_P(ValueOperations, IntegersAreDwordsOnly) {
    Put(HKEY_CURRENT_USER, UserPath(), "all ones", REG_DWORD, Bytes({0xff, 0xff, 0xff, 0xff}));
    Put(HKEY_CURRENT_USER, UserPath(), "text", REG_SZ, std::string("1\0", 2));
    std::int32_t value = 42;
    EXPECT_TRUE(RegistryReadInteger(HKEY_CURRENT_USER, UserPath(), "all ones", value));
    EXPECT_EQ(value, -1);
    value = 42;
    EXPECT_FALSE(RegistryReadInteger(HKEY_CURRENT_USER, UserPath(), "text", value));
    EXPECT_FALSE(RegistryReadInteger(HKEY_CURRENT_USER, UserPath(), "absent", value));
    EXPECT_FALSE(RegistryReadInteger(HKEY_CURRENT_USER, UserPath("missing"), "text", value));
    EXPECT_EQ(value, 42);

    ASSERT_TRUE(RegistryWriteInteger(HKEY_CURRENT_USER, UserPath(), "text", 64, 0x01020304));
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, UserPath(), "text"), Typed(REG_DWORD, Bytes({4, 3, 2, 1})));
}

TEST_P(ValueOperations, WritesCreateKeysReadsAndDeletesNever) {
    std::string text;
    std::int32_t number = 0;
    EXPECT_FALSE(RegistryReadString(HKEY_CURRENT_USER, UserPath("r\\s"), "v", 32, text));
    EXPECT_FALSE(RegistryReadInteger(HKEY_CURRENT_USER, UserPath("r\\s"), "v", number));
    EXPECT_FALSE(RegistryDeleteValue(HKEY_CURRENT_USER, UserPath("r\\s"), "v", 0));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserPath("r")));

    ASSERT_TRUE(RegistryWriteString(HKEY_CURRENT_USER, UserPath("one\\two\\three"), "v", 32, "x"));
    ASSERT_TRUE(RegistryWriteInteger(HKEY_CURRENT_USER, "\\" + UserPath("four\\five"), "", 32, 5));
    EXPECT_TRUE(RegistryReadString(HKEY_CURRENT_USER, UserPath("ONE\\two\\three"), "V", 32, text));
    EXPECT_EQ(text, "x");
    EXPECT_TRUE(RegistryReadInteger(HKEY_CURRENT_USER, UserPath("four\\five"), "", number));
    EXPECT_EQ(number, 5);
}

TEST_P(ValueOperations, UndoBackupLivesBesideTheValue) {
    const std::string start = std::string("Start") + SUndoBackupSuffix;
    EXPECT_EQ(start, "Start (undo backup)");
    ASSERT_TRUE(RegistryWriteInteger(HKEY_CURRENT_USER, UserPath(), "Start", 32, 1));
    ASSERT_TRUE(RegistryWriteInteger(HKEY_CURRENT_USER, UserPath(), start, 32, 0));
    ASSERT_TRUE(RegistryWriteString(HKEY_CURRENT_USER, UserPath(), SUndoBackupSuffix, 32, "old default"));
    std::int32_t backup = -1;
    EXPECT_TRUE(RegistryReadInteger(HKEY_CURRENT_USER, UserPath(), "start (UNDO backup)", backup));
    EXPECT_EQ(backup, 0);
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, UserPath(), " (undo backup)").second, std::string("old default\0", 12));
}

TEST_P(ValueOperations, DeleteValue) {
    Put(HKEY_CURRENT_USER, UserPath(), "v", REG_SZ, "x");
    EXPECT_FALSE(RegistryDeleteValue(HKEY_CURRENT_USER, UserPath(), "absent", 0));
    EXPECT_TRUE(RegistryDeleteValue(HKEY_CURRENT_USER, UserPath(), "v", 7)) << "view 7 works as view 0";
    EXPECT_EQ(Raw(HKEY_CURRENT_USER, UserPath(), "v").second, "no value");
    EXPECT_FALSE(RegistryDeleteValue(HKEY_CURRENT_USER, UserPath(), "v", 1));
}

TEST_P(ValueOperations, WidthSelectsTheViewOfMachineSoftware) {
    ASSERT_TRUE(RegistryWriteString(HKEY_LOCAL_MACHINE, MachinePath(), "v", 64, "sixty-four"));
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, MachinePath(), "v", KEY_WOW64_64KEY).second,
              std::string("sixty-four\0", 11));
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, MachinePath(), "v", KEY_WOW64_32KEY).second, "no key");

    // Bits 32 is the process's own view.
    ASSERT_TRUE(RegistryWriteString(HKEY_LOCAL_MACHINE, MachinePath(), "w", 32, "own"));
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, MachinePath(), "w", kOwnViewFlag).second, std::string("own\0", 4));

    Put(HKEY_LOCAL_MACHINE, MachinePath(), "d", REG_SZ, "x", KEY_WOW64_32KEY);
    EXPECT_EQ(RegistryDeleteValue(HKEY_LOCAL_MACHINE, MachinePath(), "d", 1), false);
    EXPECT_EQ(RegistryDeleteValue(HKEY_LOCAL_MACHINE, MachinePath(), "d", 0),
              kOwnViewFlag == KEY_WOW64_32KEY);
}

TEST_P(ValueOperations, UnsupportedWidthRaises) {
    std::string text;
    EXPECT_THROW(RegistryReadString(HKEY_CURRENT_USER, UserPath(), "v", 48, text), Exception);
    EXPECT_THROW(RegistryWriteString(HKEY_CURRENT_USER, UserPath(), "v", 16, "x"), Exception);
    EXPECT_THROW(RegistryWriteInteger(HKEY_CURRENT_USER, UserPath(), "v", 0, 1), Exception);
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, UserPath()));
}

TEST_P(ValueOperations, EventLogSourceRegistration) {
    const std::string log = "GorvaneTests";
    const std::string source = "HLV HiveManager Test";
    const std::string key = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\" + log + "\\" + source;
    HKEY existing = Create(HKEY_LOCAL_MACHINE, key);
    SetRaw(existing, "Other", REG_BINARY, "kept");
    RegCloseKey(existing);

    ASSERT_TRUE(RegisterEventLogSource(log, source, "", 7, 2));
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, key, "EventMessageFile"), Typed(REG_SZ, std::string("\0", 1)));
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, key, "CategoryMessageFile"), Typed(REG_SZ, std::string("\0", 1)));
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, key, "TypesSupported"), Typed(REG_DWORD, Bytes({7, 0, 0, 0})));
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, key, "CategoryCount"), Typed(REG_DWORD, Bytes({2, 0, 0, 0})));
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, key, "Other").second, "kept");

    const std::string bare = key + "Bare";
    ASSERT_TRUE(RegisterEventLogSource(log, source + "Bare", "msg.dll", 1, 0));
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, bare, "EventMessageFile").second, std::string("msg.dll\0", 8));
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, bare, "CategoryMessageFile").second, "no value");
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE, bare, "CategoryCount").second, "no value");

    HKEY parent = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog", 0,
                            KEY_ALL_ACCESS, &parent),
              ERROR_SUCCESS);
    RegDeleteTreeA(parent, log.c_str());
    RegCloseKey(parent);
}

GORVANE_REGISTRY_SUITE(ValueOperations);

// Refusals and failures, through the recording backend.
class RecordedValueOperations : public ValueOperations {};

TEST_P(RecordedValueOperations, ErrorsEscapeWithTheKeyClosed) {
    ASSERT_TRUE(RegistryWriteString(HKEY_CURRENT_USER, UserPath(), "v", 32, "x"));
    Recorder->Failures["RegSetValueExA"] = ERROR_ACCESS_DENIED;
    try {
        RegistryWriteString(HKEY_CURRENT_USER, UserPath(), "v", 32, "y");
        ADD_FAILURE() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'v'");
    }
    EXPECT_THROW(RegistryWriteInteger(HKEY_CURRENT_USER, UserPath(), "n", 64, 1), ERegistryException);
    EXPECT_EQ(Recorder->OpenHandles, 0);

    // A deletion refused after the key opened still reports that the value was there.
    Recorder->Failures = {{"RegDeleteValueA", ERROR_ACCESS_DENIED}};
    EXPECT_TRUE(RegistryDeleteValue(HKEY_CURRENT_USER, UserPath(), "v", 0));
    std::string text;
    EXPECT_TRUE(RegistryReadString(HKEY_CURRENT_USER, UserPath(), "v", 32, text));
    Recorder->Failures = {{"RegQueryValueExA", ERROR_ACCESS_DENIED}};
    EXPECT_FALSE(RegistryDeleteValue(HKEY_CURRENT_USER, UserPath(), "v", 0));
    EXPECT_EQ(Recorder->OpenHandles, 0);
}

TEST_P(RecordedValueOperations, WithoutWriteRightsNothingIsWritten) {
    ASSERT_TRUE(RegistryWriteString(HKEY_CURRENT_USER, UserPath(), "v", 32, "x"));
    Recorder->Granted = KEY_READ;
    EXPECT_FALSE(RegistryWriteString(HKEY_CURRENT_USER, UserPath(), "v", 32, "y"));
    EXPECT_FALSE(RegistryWriteInteger(HKEY_CURRENT_USER, UserPath("new"), "n", 32, 1));
    EXPECT_FALSE(RegistryDeleteValue(HKEY_CURRENT_USER, UserPath(), "v", 0));
    EXPECT_FALSE(RegisterEventLogSource("GorvaneTests", "Denied", "", 7, 2));
    EXPECT_NO_THROW(RegisterHiveManagerEventSource());
    std::string text;
    EXPECT_TRUE(RegistryReadString(HKEY_CURRENT_USER, UserPath(), "v", 32, text));
    EXPECT_EQ(text, "x");
    EXPECT_FALSE(
        KeyExists(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\GorvaneTests"));
    EXPECT_EQ(Recorder->OpenHandles, 0);
}

TEST_P(RecordedValueOperations, StartUpRegistrationSurvivesARefusedWrite) {
    Recorder->Failures["RegSetValueExA"] = ERROR_DISK_FULL;
    EXPECT_THROW(RegisterEventLogSource("Application", "HLV HiveManager", "", 7, 2), ERegistryException);
    EXPECT_NO_THROW(RegisterHiveManagerEventSource());
    EXPECT_EQ(Recorder->OpenHandles, 0);
    Recorder->Failures.clear();
    RegisterHiveManagerEventSource();
    EXPECT_EQ(Raw(HKEY_LOCAL_MACHINE,
                  "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\HLV HiveManager",
                  "TypesSupported"),
              Typed(REG_DWORD, Bytes({7, 0, 0, 0})));
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordedValueOperations, ::testing::Values("recording"), BackendName);

} // namespace
