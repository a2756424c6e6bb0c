// The registry behaviours Gorvane relies on, run against every backend of the build.
#include "registry/tests/RegistryTest.h"

#include <cstring>

namespace {

constexpr DWORD kMarker = 0xdeadbeef;

class Conformance : public TRegistryTest {
protected:
    // The value's type and bytes, or the error code as type when it cannot be read.
    std::pair<LONG, std::string> Read(HKEY key, const char* name, DWORD* type = nullptr) {
        DWORD size = 0;
        LONG rc = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
        if (rc != ERROR_SUCCESS)
            return {rc, {}};
        std::string data(size, '\0');
        rc = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size);
        data.resize(size);
        return {rc, data};
    }

    std::vector<std::string> SubkeyNames(HKEY key) {
        std::vector<std::string> names;
        for (DWORD i = 0;; ++i) {
            char name[256];
            DWORD size = sizeof name;
            LONG rc = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS)
                break;
            EXPECT_EQ(rc, ERROR_SUCCESS);
            if (rc != ERROR_SUCCESS)
                break;
            names.emplace_back(name, size);
        }
        return names;
    }
};

TEST_P(Conformance, NamesIgnoreAsciiCaseAndKeepTheirFirstSpelling) {
    HKEY key = Create(HKEY_CURRENT_USER, UserPath("MixedCase\\Inner"));
    SetRaw(key, "ValueName", REG_BINARY, "first");
    SetRaw(key, "VALUENAME", REG_BINARY, "second");
    HKEY again = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_CURRENT_USER, (UserPath() + "\\MIXEDCASE\\inner").c_str(), 0, KEY_READ, &again),
        ERROR_SUCCESS);
    EXPECT_EQ(Read(again, "valuename").second, "second");

    char name[64];
    DWORD nameSize = sizeof name;
    DWORD type = kMarker;
    BYTE data[16];
    DWORD dataSize = sizeof data;
    ASSERT_EQ(RegEnumValueA(again, 0, name, &nameSize, nullptr, &type, data, &dataSize), ERROR_SUCCESS);
    EXPECT_STREQ(name, "ValueName");
    EXPECT_EQ(nameSize, 9u);
    EXPECT_EQ(RegEnumValueA(again, 1, name, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);

    HKEY parent = Create(HKEY_CURRENT_USER, UserPath("mixedcase"));
    EXPECT_EQ(SubkeyNames(parent), std::vector<std::string>{"Inner"});
    HKEY scratch = Create(HKEY_CURRENT_USER, UserPath());
    EXPECT_EQ(SubkeyNames(scratch), std::vector<std::string>{"MixedCase"});
    for (HKEY k : {key, again, parent, scratch})
        RegCloseKey(k);
}

TEST_P(Conformance, DataIsKeptAsRawBytesWithTheTypeNumberGiven) {
    struct Case {
        const char* Name;
        DWORD Type;
        std::string Data;
    };
    std::vector<Case> cases = {
        {"sz", REG_SZ, std::string("abc\0", 4)},
        {"binary with zeros", REG_BINARY, Bytes({0, 1, 0, 255})},
        {"dword", REG_DWORD, Bytes({0xff, 0xff, 0xff, 0xff})},
        {"multi", REG_MULTI_SZ, Bytes({'a', 0, 'b', 0, 0})},
        {"none and empty", REG_NONE, ""},
        {"qword", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
        {"type above 11", 0x4711, "xyz"},
        {"", REG_EXPAND_SZ, std::string("%SystemRoot%\0", 13)},
    };
    // Windows (and Wine) add the terminator of a string that the caller left out when the byte
    // after the data is NUL; the documentation asks for the terminator to be counted, and the
    // store keeps the bytes as given.
    if (kStoreBackend)
        cases.push_back({"sz without terminator", REG_SZ, "abc"});
    HKEY key = Create(HKEY_CURRENT_USER, UserPath("Raw"));
    for (const auto& c : cases)
        SetRaw(key, c.Name, c.Type, c.Data);
    for (const auto& c : cases) {
        DWORD type = kMarker;
        auto [rc, data] = Read(key, c.Name, &type);
        EXPECT_EQ(rc, ERROR_SUCCESS) << c.Name;
        EXPECT_EQ(type, c.Type) << c.Name;
        EXPECT_EQ(data, c.Data) << c.Name;
    }
    // A null name is the default value too.
    EXPECT_EQ(Read(key, nullptr).second, std::string("%SystemRoot%\0", 13));
    RegCloseKey(key);
}

TEST_P(Conformance, QueryReportsSizesAndShortBuffers) {
    HKEY key = Create(HKEY_CURRENT_USER, UserPath());
    SetRaw(key, "v", REG_BINARY, "123456");

    DWORD type = kMarker;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(key, "v", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 6u);

    BYTE small[4];
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 6u);

    type = kMarker;
    EXPECT_EQ(RegQueryValueExA(key, "absent", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key, "absent"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueA(key, "V"), ERROR_SUCCESS);
    EXPECT_EQ(Read(key, "v").first, ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_P(Conformance, CreateMakesMissingParentsAndOpenNeverCreates) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, UserPath("a\\b\\c").c_str(), 0, KEY_READ, &key),
              ERROR_FILE_NOT_FOUND);
    DWORD disposition = kMarker;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, UserPath("a\\b\\c").c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, UserPath("A\\B\\C\\").c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    RegCloseKey(key);
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, UserPath("a\\b").c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, UserPath("a\\x").c_str(), 0, KEY_ALL_ACCESS, &key),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyExA(HKEY_CURRENT_USER, UserPath("a\\x").c_str(), 0, 0), ERROR_FILE_NOT_FOUND)
        << "the failed open left no key behind";
}

TEST_P(Conformance, EmptySubkeyOpensANewHandleToTheBase) {
    HKEY base = Create(HKEY_CURRENT_USER, UserPath());
    SetRaw(base, "v", REG_BINARY, "x");
    HKEY again = nullptr;
    ASSERT_EQ(RegOpenKeyExA(base, "", 0, KEY_READ, &again), ERROR_SUCCESS);
    EXPECT_NE(again, base);
    EXPECT_EQ(RegCloseKey(base), ERROR_SUCCESS);
    EXPECT_EQ(Read(again, "v").second, "x");
    HKEY third = nullptr;
    ASSERT_EQ(RegOpenKeyExA(again, nullptr, 0, KEY_READ, &third), ERROR_SUCCESS);
    EXPECT_EQ(Read(third, "v").second, "x");
    RegCloseKey(again);
    RegCloseKey(third);

    HKEY root = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &root), ERROR_SUCCESS);
    HKEY below = nullptr;
    EXPECT_EQ(RegOpenKeyExA(root, UserPath().c_str(), 0, KEY_READ, &below), ERROR_SUCCESS);
    RegCloseKey(below);
    RegCloseKey(root);
}

TEST_P(Conformance, EnumerationEndsAndReportsShortBuffers) {
    HKEY key = Create(HKEY_CURRENT_USER, UserPath());
    for (const char* sub : {"beta", "Alpha", "gamma"})
        RegCloseKey(Create(key, sub));
    SetRaw(key, "LongValueName", REG_BINARY, "0123456789");

    char name[4];
    DWORD size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    EXPECT_EQ(RegEnumKeyExA(key, 3, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(SubkeyNames(key), (std::vector<std::string>{"Alpha", "beta", "gamma"}));

    size = sizeof name;
    EXPECT_EQ(RegEnumValueA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    char longName[32];
    DWORD nameSize = sizeof longName;
    BYTE data[4];
    DWORD dataSize = sizeof data;
    EXPECT_EQ(RegEnumValueA(key, 0, longName, &nameSize, nullptr, nullptr, data, &dataSize), ERROR_MORE_DATA);
    EXPECT_EQ(dataSize, 10u);
    nameSize = sizeof longName;
    dataSize = 0;
    EXPECT_EQ(RegEnumValueA(key, 0, longName, &nameSize, nullptr, nullptr, nullptr, &dataSize),
              ERROR_SUCCESS);
    EXPECT_EQ(dataSize, 10u);
    EXPECT_EQ(RegEnumValueA(key, 1, longName, &nameSize, nullptr, nullptr, nullptr, nullptr),
              ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_P(Conformance, DeletingKeys) {
    HKEY key = Create(HKEY_CURRENT_USER, UserPath("tree\\leaf\\deeper"));
    SetRaw(key, "v", REG_SZ, "x");
    RegCloseKey(key);
    HKEY scratch = Create(HKEY_CURRENT_USER, UserPath());

    EXPECT_EQ(RegDeleteKeyExA(scratch, "tree", 0, 0), ERROR_ACCESS_DENIED) << "a key with subkeys stays";
    EXPECT_EQ(RegDeleteKeyExA(scratch, "missing", 0, 0), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyExA(scratch, "tree\\leaf\\deeper", 0, 0), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteTreeA(scratch, "tree"), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExA(scratch, "tree", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteTreeA(scratch, "tree"), ERROR_FILE_NOT_FOUND);

    // Without a subkey the tree below the key goes, the key itself stays.
    RegCloseKey(Create(scratch, "x\\y"));
    SetRaw(scratch, "top", REG_SZ, "1");
    EXPECT_EQ(RegDeleteTreeA(scratch, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(SubkeyNames(scratch), std::vector<std::string>{});
    EXPECT_EQ(Read(scratch, "top").first, ERROR_FILE_NOT_FOUND);
    SetRaw(scratch, "after", REG_SZ, "2");
    RegCloseKey(scratch);
}

TEST_P(Conformance, HandleOfADeletedKey) {
    HKEY key = Create(HKEY_CURRENT_USER, UserPath("doomed"));
    SetRaw(key, "v", REG_SZ, "x");
    HKEY scratch = Create(HKEY_CURRENT_USER, UserPath());
    ASSERT_EQ(RegDeleteTreeA(scratch, "doomed"), ERROR_SUCCESS);
    EXPECT_EQ(Read(key, "v").first, ERROR_KEY_DELETED);
    EXPECT_EQ(RegSetValueExA(key, "w", 0, REG_SZ, reinterpret_cast<const BYTE*>("y"), 2), ERROR_KEY_DELETED);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    RegCloseKey(scratch);
}

TEST_P(Conformance, ThirtyTwoBitViewRedirectsMachineSoftware) {
    const std::string path = MachinePath("Viewed");
    HKEY key32 = Create(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS | KEY_WOW64_32KEY);
    SetRaw(key32, "v", REG_BINARY, "32");
    HKEY key64 = Create(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS | KEY_WOW64_64KEY);
    SetRaw(key64, "v", REG_BINARY, "64");
    EXPECT_EQ(Read(key32, "v").second, "32");
    RegCloseKey(key32);
    RegCloseKey(key64);

    HKEY node = nullptr;
    const std::string redirected = "SOFTWARE\\Wow6432Node\\" + path.substr(std::strlen("SOFTWARE\\"));
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, redirected.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &node),
              ERROR_SUCCESS);
    EXPECT_EQ(Read(node, "v").second, "32");
    RegCloseKey(node);

    HKEY own = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &own), ERROR_SUCCESS);
    EXPECT_EQ(Read(own, "v").second, kOwnViewFlag == KEY_WOW64_64KEY ? "64" : "32");
    RegCloseKey(own);
}

TEST_P(Conformance, BadHandlesAndPaths) {
    HKEY key = nullptr;
    EXPECT_EQ(RegCloseKey(reinterpret_cast<HKEY>(std::uintptr_t{0x5550})), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, ("\\" + UserPath()).c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_BAD_PATHNAME);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

GORVANE_REGISTRY_SUITE(Conformance);

} // namespace
