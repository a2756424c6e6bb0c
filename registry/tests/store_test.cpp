// The stand-alone store: where its files are, rights, crashes, concurrent writers, damaged files.
#include "registry/hlvRegTools.h"
#include "registry/store/RegStore.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// A child process whose standard output we read.
class TChild {
public:
    TChild(const std::vector<std::string>& args) {
        int fds[2];
        EXPECT_EQ(pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        EXPECT_EQ(posix_spawn(&Pid, argv[0], &actions, nullptr, argv.data(), environ), 0) << args[0];
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        Out = fdopen(fds[0], "r");
    }
    ~TChild() {
        if (Out)
            fclose(Out);
        if (Pid > 0)
            Wait();
    }
    std::optional<std::string> Line() {
        char buffer[512];
        if (!Out || !fgets(buffer, sizeof buffer, Out))
            return std::nullopt;
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        return line;
    }
    std::vector<std::string> Rest() {
        std::vector<std::string> lines;
        while (auto line = Line())
            lines.push_back(*line);
        return lines;
    }
    int Wait() {
        int status = 0;
        waitpid(Pid, &status, 0);
        Pid = -1;
        return status;
    }
    void Kill() { kill(Pid, SIGKILL); }

private:
    pid_t Pid = -1;
    FILE* Out = nullptr;
};

class Store : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "gorvane-store-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Folder = pattern;
        setenv("GORVANE_REGISTRY_DIR", Folder.c_str(), 1);
        GorvaneStoreReset();
    }
    void TearDown() override {
        GorvaneStoreReset();
        unsetenv("GORVANE_REGISTRY_DIR");
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    fs::path UserFile() const { return Folder / "current-user.db"; }
    fs::path MachineFile() const { return Folder / "local-machine.db"; }

    static std::string Probe() { return GORVANE_STORE_PROBE; }

    // SQLite's own verdict on a store file, opened apart from the store.
    static std::string IntegrityOf(const fs::path& file) {
        sqlite3* db = nullptr;
        std::string verdict = "cannot open";
        if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* s = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
                sqlite3_step(s) == SQLITE_ROW)
                verdict = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
            sqlite3_finalize(s);
        }
        sqlite3_close(db);
        return verdict;
    }

    fs::path Folder;
};

TEST_F(Store, FilesAndTheirPlaces) {
    struct Case {
        const char* Dir;
        const char* Xdg;
        const char* Home;
        std::string User;
        std::string Machine;
    };
    const Case cases[] = {
        {"/srv/reg", "/x", "/h", "/srv/reg/current-user.db", "/srv/reg/local-machine.db"},
        {"/srv/reg/", nullptr, "/h", "/srv/reg/current-user.db", "/srv/reg/local-machine.db"},
        {nullptr, "/data", "/h", "/data/gorvane/current-user.db", "/var/lib/gorvane/local-machine.db"},
        {nullptr, "relative", "/h", "/h/.local/share/gorvane/current-user.db",
         "/var/lib/gorvane/local-machine.db"},
        {"", nullptr, "/h", "/h/.local/share/gorvane/current-user.db", "/var/lib/gorvane/local-machine.db"},
    };
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const std::string savedXdg = xdg ? xdg : "";
    for (const auto& c : cases) {
        auto set = [](const char* name, const char* value) {
            value ? setenv(name, value, 1) : unsetenv(name);
        };
        set("GORVANE_REGISTRY_DIR", c.Dir);
        set("XDG_DATA_HOME", c.Xdg);
        set("HOME", c.Home);
        GorvaneStoreReset();
        EXPECT_EQ(GorvaneStoreFile(false), c.User);
        EXPECT_EQ(GorvaneStoreFile(true), c.Machine);
    }
    setenv("HOME", home.c_str(), 1);
    xdg ? setenv("XDG_DATA_HOME", savedXdg.c_str(), 1) : unsetenv("XDG_DATA_HOME");
    setenv("GORVANE_REGISTRY_DIR", Folder.c_str(), 1);
    GorvaneStoreReset();
}

TEST_F(Store, MissingStoreReadsAsEmptyAndTheFirstWriteCreatesIt) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_READ, &key), ERROR_SUCCESS);
    char name[16];
    DWORD size = sizeof name;
    EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    EXPECT_EQ(RegQueryValueExA(key, "", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_READ, &key), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    std::string text;
    EXPECT_FALSE(RegistryReadString(HKEY_CURRENT_USER, "Software\\X", "v", 32, text));
    EXPECT_FALSE(RegistryDeleteValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", "v", 0));
    EXPECT_TRUE(fs::is_empty(Folder)) << "reading made no file";

    // Classes root is the machine's SOFTWARE\Classes.
    ASSERT_TRUE(RegistryWriteString(HKEY_CLASSES_ROOT, ".gvt", "", 32, "Gorvane.Test"));
    EXPECT_TRUE(fs::exists(MachineFile()));
    EXPECT_FALSE(fs::exists(UserFile()));
    EXPECT_TRUE(RegistryReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Classes\\.GVT", "", 32, text));
    EXPECT_EQ(text, "Gorvane.Test");
}

TEST_F(Store, OversizedOrMissingDataIsRefusedUnread) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Big", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const BYTE small[4] = {1, 2, 3, 4};
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_BINARY, small, 0xfffffff0u), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, nullptr), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(Store, EveryValueOfABigKeyIsFoundAgain) {
    // More values than an open reads along: the rest must still come from the file.
    constexpr int kValues = 150;
    for (int i = 0; i < kValues; ++i)
        ASSERT_TRUE(RegistryWriteInteger(HKEY_CURRENT_USER, "Software\\Big", "n" + std::to_string(i), 32, i));
    for (int round = 0; round < 2; ++round)
        for (int i = kValues - 1; i >= 0; --i) {
            std::int32_t value = -1;
            ASSERT_TRUE(
                RegistryReadInteger(HKEY_CURRENT_USER, "Software\\Big", "N" + std::to_string(i), value))
                << i;
            EXPECT_EQ(value, i);
        }
    std::int32_t value = -1;
    EXPECT_FALSE(
        RegistryReadInteger(HKEY_CURRENT_USER, "Software\\Big", "n" + std::to_string(kValues), value));
}

TEST_F(Store, OtherProcessesSeeEveryWriteAndThisOneSeesTheirs) {
    ASSERT_TRUE(RegistryWriteString(HKEY_CURRENT_USER, "Software\\Shared", "v", 32, "mine"));
    std::string text;
    ASSERT_TRUE(RegistryReadString(HKEY_CURRENT_USER, "Software\\Shared", "v", 32, text));
    EXPECT_FALSE(RegistryReadString(HKEY_CURRENT_USER, "Software\\Shared", "w", 32, text));
    HKEY held = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Shared\\Held", 0, KEY_READ, &held),
              ERROR_FILE_NOT_FOUND);

    for (auto [name, value] : {std::pair{"v", "theirs"}, std::pair{"w", "new"}}) {
        TChild child({Probe(), "set", "Software\\Shared", name, value});
        EXPECT_EQ(child.Wait(), 0);
        ASSERT_TRUE(RegistryReadString(HKEY_CURRENT_USER, "Software\\Shared", name, 32, text));
        EXPECT_EQ(text, value);
    }
    TChild child({Probe(), "set", "Software\\Shared\\Held", "x", "1"});
    EXPECT_EQ(child.Wait(), 0);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Shared\\Held", 0, KEY_READ, &held), ERROR_SUCCESS);
    RegCloseKey(held);
}

TEST_F(Store, AKilledWriterLosesNothingThatWasWritten) {
    std::vector<int> written;
    {
        TChild writer({Probe(), "stream", "Software\\Stream", "100000"});
        while (written.size() < 40)
            if (auto line = writer.Line())
                written.push_back(std::stoi(*line));
            else
                break;
        writer.Kill();
        for (const auto& line : writer.Rest())
            written.push_back(std::stoi(line));
        const int status = writer.Wait();
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
    }
    ASSERT_GE(written.size(), 40u);
    EXPECT_EQ(IntegrityOf(UserFile()), "ok");
    for (int i : written) {
        std::string text;
        ASSERT_TRUE(
            RegistryReadString(HKEY_CURRENT_USER, "Software\\Stream", "v" + std::to_string(i), 32, text))
            << i;
        EXPECT_EQ(text, std::to_string(i));
    }
    // The store goes on taking writes.
    EXPECT_TRUE(RegistryWriteString(HKEY_CURRENT_USER, "Software\\Stream", "after", 32, "x"));
}

TEST_F(Store, TwoWritersOfOneKeyLoseNoValue) {
    constexpr int kEach = 150;
    {
        TChild a({Probe(), "writer", "Software\\Busy", "a", std::to_string(kEach)});
        TChild b({Probe(), "writer", "Software\\Busy", "b", std::to_string(kEach)});
        EXPECT_EQ(a.Wait(), 0);
        EXPECT_EQ(b.Wait(), 0);
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Busy", 0, KEY_READ, &key), ERROR_SUCCESS);
    int count = 0;
    for (DWORD i = 0;; ++i) {
        char name[32];
        DWORD size = sizeof name;
        if (RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        ++count;
    }
    RegCloseKey(key);
    EXPECT_EQ(count, 2 * kEach);
    for (const char* prefix : {"a", "b"}) {
        std::int32_t value = -1;
        EXPECT_TRUE(RegistryReadInteger(HKEY_CURRENT_USER, "Software\\Busy",
                                        prefix + std::to_string(kEach - 1), value));
        EXPECT_EQ(value, kEach - 1);
    }
}

TEST_F(Store, DamagedOrForeignFilesAreReportedAndLeftAlone) {
    // A real store to damage: enough keys for several pages.
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(RegistryWriteString(HKEY_CURRENT_USER, "Software\\K" + std::to_string(i), "v", 32, "x"));
    GorvaneStoreReset();
    std::string store = ReadFile(UserFile());
    ASSERT_GT(store.size(), 8192u);
    std::string damaged = store;
    for (std::size_t i = 4096; i < damaged.size(); i += 7)
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5a);

    sqlite3* foreign = nullptr;
    const fs::path foreignFile = Folder / "foreign.db";
    ASSERT_EQ(sqlite3_open(foreignFile.c_str(), &foreign), SQLITE_OK);
    sqlite3_exec(foreign, "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine')", nullptr, nullptr,
                 nullptr);
    sqlite3_close(foreign);

    const std::pair<const char*, std::string> cases[] = {
        {"text file", "This is not a database.\n"},
        {"header only", store.substr(0, 100)},
        {"damaged pages", damaged},
        {"another program's database", ReadFile(foreignFile)},
    };
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        WriteFile(UserFile(), bytes);
        GorvaneStoreReset();
        HKEY key = nullptr;
        LONG open = ERROR_SUCCESS;
        for (int i = 0; i < 300 && open != ERROR_BADDB; ++i) {
            open = RegOpenKeyExA(HKEY_CURRENT_USER, ("Software\\K" + std::to_string(i)).c_str(), 0, KEY_READ,
                                 &key);
            if (open == ERROR_SUCCESS) {
                RegCloseKey(key);
            } else {
                EXPECT_EQ(open, ERROR_BADDB);
            }
        }
        EXPECT_EQ(open, ERROR_BADDB);
        EXPECT_NE(GorvaneStoreLastError().find(UserFile().string()), std::string::npos)
            << GorvaneStoreLastError();
        EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &key, nullptr),
                  ERROR_BADDB);
        EXPECT_FALSE(RegistryWriteString(HKEY_CURRENT_USER, "Software\\New", "v", 32, "x"));
        GorvaneStoreReset();
        EXPECT_EQ(ReadFile(UserFile()), bytes) << "the file is never written";
        EXPECT_TRUE(RegistryWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Other", "v", 32, "x"))
            << "the other store still works";
    }
}

TEST_F(Store, AFullDiskFailsTheWriteCleanly) {
    std::vector<std::string> lines;
    {
        TChild filler({Probe(), "fill", "Software\\Full", std::to_string(256 * 1024)});
        lines = filler.Rest();
        const int status = filler.Wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    ASSERT_GE(lines.size(), 2u);
    const std::string last = lines.back();
    lines.pop_back();
    long code = 0;
    ASSERT_EQ(std::sscanf(last.c_str(), "failed %ld", &code), 1) << last;
    EXPECT_TRUE(code == ERROR_DISK_FULL || code == ERROR_REGISTRY_IO_FAILED) << last;
    EXPECT_NE(last.find(UserFile().string()), std::string::npos) << last;
    EXPECT_EQ(IntegrityOf(UserFile()), "ok");
    for (const auto& line : lines) {
        DWORD size = 0;
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Full", 0, KEY_READ, &key), ERROR_SUCCESS);
        EXPECT_EQ(RegQueryValueExA(key, ("v" + line).c_str(), nullptr, nullptr, nullptr, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(size, 4096u);
        RegCloseKey(key);
    }
}

// Rights are the file system's: run the probe as an unprivileged user against stores made by root.
TEST_F(Store, OnlyProcessesThatMayWriteTheFileWriteIt) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run a process as another user";
    if (access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "needs setpriv (util-linux)";
    ASSERT_TRUE(RegistryWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Probe", "v", 64, "machine"));
    GorvaneStoreReset();
    const fs::path probe = Folder / "probe";
    fs::copy_file(Probe(), probe);
    chmod(probe.c_str(), 0755);
    chmod(MachineFile().c_str(), 0644);
    // Like /tmp: everyone may add files, the machine's file stays root's.
    chmod(Folder.c_str(), 01777);
    const std::string machineBefore = ReadFile(MachineFile());

    auto run = [&] {
        TChild child({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", probe.string(),
                      "rights"});
        std::map<std::string, long> codes;
        for (const auto& line : child.Rest()) {
            std::istringstream in(line);
            std::string what;
            long code = -1;
            in >> what >> code;
            codes[what] = code;
        }
        EXPECT_EQ(child.Wait(), 0);
        return codes;
    };
    auto codes = run();
    const std::map<std::string, long> expected = {
        {"machine-read", 0},   {"machine-open-read", 0}, {"machine-open-write", 5},
        {"machine-create", 5}, {"machine-delete", 5},    {"machine-write-string", 5},
        {"event-source", 5},   {"user-create", 0},       {"user-write-string", 0},
        {"user-read", 0},
    };
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(ReadFile(MachineFile()), machineBefore);

    // A store its user may not write (here read-only) refuses writes the same way and still reads.
    chown(UserFile().c_str(), 65534, 65534);
    chmod(UserFile().c_str(), 0444);
    codes = run();
    EXPECT_EQ(codes["user-create"], 5);
    EXPECT_EQ(codes["user-write-string"], 5);
    EXPECT_EQ(codes["user-read"], 0);
    EXPECT_EQ(codes["machine-read"], 0);
}

} // namespace
