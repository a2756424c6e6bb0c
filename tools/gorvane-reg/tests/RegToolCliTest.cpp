// gorvane-reg run as a process against a store in a temporary folder.
#include "tools/gorvane-reg/RegValueText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct TRun {
    int Code = -1;
    std::string Out, Err;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The Windows build ends its lines in CR LF.
std::string WithoutCr(std::string text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out += text[i];
    return out;
}

// GORVANE_REG_COMMAND runs another build of the tool, such as "wine .../gorvane-reg.exe"
// (words separated by spaces); that build then works on its own registry, not a temporary store.
std::vector<std::string> ToolCommand() {
    const char* command = std::getenv("GORVANE_REG_COMMAND");
    if (!command || !*command)
        return {GORVANE_REG_EXE};
    std::vector<std::string> words;
    std::string word;
    for (const char* c = command;; ++c) {
        if (*c == ' ' || *c == '\0') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
            if (*c == '\0')
                return words;
        } else {
            word += *c;
        }
    }
}

class RegToolCli : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "gorvane-reg-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Dir = pattern;
        fs::create_directory(Dir / "store");
        setenv("GORVANE_REGISTRY_DIR", (Dir / "store").c_str(), 1);
    }
    void TearDown() override { fs::remove_all(Dir); }

    // Runs the tool with `input` as its standard input.
    TRun Run(const std::vector<std::string>& args, const std::string& input = "") {
        WriteFile(Dir / "stdin", input);
        const fs::path out = Dir / "stdout", err = Dir / "stderr";
        const pid_t pid = fork();
        if (pid == 0) {
            if (!freopen((Dir / "stdin").c_str(), "rb", stdin) || !freopen(out.c_str(), "wb", stdout) ||
                !freopen(err.c_str(), "wb", stderr))
                _exit(127);
            std::vector<std::string> all = Prefix;
            const std::vector<std::string> command = ToolCommand();
            all.insert(all.end(), command.begin(), command.end());
            all.insert(all.end(), args.begin(), args.end());
            std::vector<char*> argv;
            for (std::string& a : all)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execvp(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        TRun r;
        r.Code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.Out = WithoutCr(ReadFile(out));
        r.Err = WithoutCr(ReadFile(err));
        return r;
    }

    // Runs a command that must succeed.
    void Ok(const std::vector<std::string>& args) {
        const TRun r = Run(args);
        ASSERT_EQ(r.Code, 0) << args[0] << " " << args[1] << ": " << r.Err;
        ASSERT_EQ(r.Out, "The operation completed successfully.\n");
    }

    std::string ValueLine(const std::string& key, const std::string& name) {
        const TRun r = Run({"query", key, "/v", name});
        EXPECT_EQ(r.Code, 0) << r.Err;
        const std::size_t at = r.Out.find("    ");
        return at == std::string::npos ? r.Out : r.Out.substr(at, r.Out.find('\n', at) - at);
    }

    fs::path Dir;
    std::vector<std::string> Prefix; // a command that runs the tool, such as setpriv
};

const char NotFound[] = "ERROR: The system was unable to find the specified registry key or value.\n";

TEST_F(RegToolCli, AddsAndShowsEveryType) {
    struct Case {
        std::vector<std::string> Args;
        const char* Line;
    } cases[] = {
        {{"/v", "sz", "/d", "hello world"}, "    sz    REG_SZ    hello world"},
        {{"/v", "plain"}, "    plain    REG_SZ    "},
        {{"/v", "ex", "/t", "reg_expand_sz", "/d", "%HOME%\\x"}, "    ex    REG_EXPAND_SZ    %HOME%\\x"},
        {{"/v", "ms", "/t", "REG_MULTI_SZ", "/d", "a\\0b c"}, "    ms    REG_MULTI_SZ    a\\0b c"},
        {{"/v", "ms2", "/t", "REG_MULTI_SZ", "/s", "#", "/d", "a#b#"}, "    ms2    REG_MULTI_SZ    a\\0b"},
        {{"/v", "dw", "/t", "REG_DWORD", "/d", "42"}, "    dw    REG_DWORD    0x2a"},
        {{"/v", "dwx", "/t", "REG_DWORD", "/d", "0xFFFFFFFF"}, "    dwx    REG_DWORD    0xffffffff"},
        {{"/v", "be", "/t", "REG_DWORD_BIG_ENDIAN", "/d", "0x1234"},
         "    be    REG_DWORD_BIG_ENDIAN    0x1234"},
        {{"/v", "qw", "/t", "REG_QWORD", "/d", "0x100000000"}, "    qw    REG_QWORD    0x100000000"},
        {{"/v", "bin", "/t", "REG_BINARY", "/d", "00ff10"}, "    bin    REG_BINARY    00FF10"},
        {{"/v", "none", "/t", "REG_NONE", "/d", "ab"}, "    none    REG_NONE    AB"},
        {{"/ve", "/d", "dflt"}, "    (Default)    REG_SZ    dflt"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"add", "HKCU\\Software\\Types"};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        Ok(args);
        const std::string name = c.Args[0] == "/ve" ? "" : c.Args[1];
        if (name.empty()) {
            const TRun r = Run({"query", "HKCU\\Software\\Types", "/ve"});
            EXPECT_NE(r.Out.find(std::string(c.Line) + "\n"), std::string::npos) << r.Out;
        } else {
            EXPECT_EQ(ValueLine("HKCU\\Software\\Types", name), c.Line);
        }
    }
    // Names and keys are found without regard to case.
    EXPECT_EQ(ValueLine("hkey_current_user\\SOFTWARE\\types", "SZ"), "    sz    REG_SZ    hello world");
}

TEST_F(RegToolCli, QueryLayout) {
    Ok({"add", "HKCU\\Software\\Q", "/v", "a", "/d", "1"});
    Ok({"add", "HKCU\\Software\\Q", "/v", "b", "/t", "REG_DWORD", "/d", "2"});
    Ok({"add", "HKCU\\Software\\Q\\Sub", "/v", "c", "/d", "3"});
    Ok({"add", "HKCU\\Software\\Q\\Sub\\Deep"});
    Ok({"add", "HKCU\\Software\\Q\\Empty"});

    TRun r = Run({"query", "HKCU\\Software\\Q"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Out, "\nHKEY_CURRENT_USER\\Software\\Q\n"
                     "    a    REG_SZ    1\n"
                     "    b    REG_DWORD    0x2\n"
                     "\n"
                     "HKEY_CURRENT_USER\\Software\\Q\\Empty\n"
                     "HKEY_CURRENT_USER\\Software\\Q\\Sub\n");

    r = Run({"query", "HKCU\\Software\\Q", "/s"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Out, "\nHKEY_CURRENT_USER\\Software\\Q\n"
                     "    a    REG_SZ    1\n"
                     "    b    REG_DWORD    0x2\n"
                     "\n"
                     "HKEY_CURRENT_USER\\Software\\Q\\Empty\n"
                     "\n"
                     "HKEY_CURRENT_USER\\Software\\Q\\Sub\n"
                     "    c    REG_SZ    3\n"
                     "\n"
                     "HKEY_CURRENT_USER\\Software\\Q\\Sub\\Deep\n"
                     "\n"
                     "End of search: 6 match(es) found.\n");

    r = Run({"query", "HKCU\\Software\\Q", "/v", "C", "/s"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(
        r.Out,
        "\nHKEY_CURRENT_USER\\Software\\Q\\Sub\n    c    REG_SZ    3\n\nEnd of search: 1 match(es) found.\n");

    r = Run({"query", "HKCU\\Software\\Q", "/ve"});
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Out, "\nHKEY_CURRENT_USER\\Software\\Q\n    (Default)    REG_SZ    (value not set)\n\n");
}

TEST_F(RegToolCli, FailuresAndUsage) {
    Ok({"add", "HKCU\\Software\\E", "/v", "x", "/d", "1"});
    struct Case {
        std::vector<std::string> Args;
        const char* Err; // the start of standard error
    } cases[] = {
        {{"query", "HKCU\\Software\\Missing"}, NotFound},
        {{"query", "HKCU\\Software\\E", "/v", "missing"}, NotFound},
        {{"query", "HKCU\\Software\\E", "/v", "missing", "/s"}, NotFound},
        {{"delete", "HKCU\\Software\\E", "/v", "missing", "/f"}, NotFound},
        {{"delete", "HKCU\\Software\\Missing", "/f"}, NotFound},
        {{"export", "HKCU\\Software\\Missing", "x.reg"}, NotFound},
        {{"query", "HKXY\\Software"}, "ERROR: Invalid key name.\n"},
        {{"delete", "HKCU", "/f"}, "ERROR: Invalid key name.\n"},
        {{}, "ERROR: Invalid syntax.\n"},
        {{"frobnicate", "HKCU"}, "ERROR: Invalid syntax.\n"},
        {{"query"}, "ERROR: Invalid syntax.\n"},
        {{"query", "HKCU\\Software\\E", "/v"}, "ERROR: Invalid syntax.\n"},
        {{"query", "HKCU\\Software\\E", "/v", "x", "/ve"}, "ERROR: Invalid syntax.\n"},
        {{"query", "HKCU\\Software\\E", "/f"}, "ERROR: Invalid syntax.\n"},
        {{"add", "HKCU\\Software\\E", "/v", "x", "/v", "y"}, "ERROR: Invalid syntax.\n"},
        {{"add", "HKCU\\Software\\E", "/v", "d", "/t", "REG_DWORD", "/d", "ten"}, "ERROR: Invalid syntax.\n"},
        {{"add", "HKCU\\Software\\E", "/v", "d", "/t", "REG_WHAT"}, "ERROR: Invalid syntax.\n"},
        {{"add", "HKCU\\Software\\E", "/v", "d", "/s", ",", "/d", "a"}, "ERROR: Invalid syntax.\n"},
        {{"add", "HKCU\\Software\\E", "/reg:32", "/reg:64"}, "ERROR: Invalid syntax.\n"},
        {{"import", "no-such-file.reg"}, "ERROR: Error opening the file."},
        {{"import", Dir.string()}, "ERROR: Error opening the file."},
        {{"export", "HKCU\\Software\\E", (Dir / "no" / "x.reg").string()}, "ERROR: Error opening the file."},
    };
    for (const Case& c : cases) {
        const TRun r = Run(c.Args);
        const std::string what = c.Args.empty() ? "(none)" : c.Args[0] + " " + c.Args.back();
        EXPECT_EQ(r.Code, 1) << what;
        EXPECT_EQ(r.Err.substr(0, std::string(c.Err).size()), c.Err) << what << ": " << r.Err;
        EXPECT_EQ(r.Out.find("successfully"), std::string::npos) << what;
    }
    // A failed add changed nothing.
    EXPECT_EQ(Run({"query", "HKCU\\Software\\E", "/v", "d"}).Code, 1);

    for (const auto& help : std::vector<std::vector<std::string>>{
             {"--help"}, {"/?"}, {"-h"}, {"query", "/?"}, {"ADD", "-?"}, {"export", "--help"}}) {
        const TRun r = Run(help);
        EXPECT_EQ(r.Code, 0) << help[0];
        EXPECT_NE(r.Out.find("gorvane-reg "), std::string::npos) << help[0];
        EXPECT_TRUE(r.Err.empty());
    }
    EXPECT_NE(Run({"add", "/?"}).Out.find("REG_DWORD_BIG_ENDIAN"), std::string::npos);
}

TEST_F(RegToolCli, AsksBeforeOverwritingOrDeleting) {
    const std::string key = "HKCU\\Software\\P";
    Ok({"add", key, "/v", "v", "/d", "old"});
    const char cancelled[] = "The operation was canceled by the user.\n";

    TRun r = Run({"add", key, "/v", "v", "/d", "new"}, "n\n");
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(r.Out, std::string("Value v exists, overwrite(Yes/No)? ") + cancelled);
    EXPECT_EQ(ValueLine(key, "v"), "    v    REG_SZ    old");

    // An answer that is neither yes nor no asks again; the end of input is a no.
    r = Run({"add", key, "/v", "v", "/d", "new"}, "maybe\nYES\n");
    EXPECT_EQ(r.Out, "Value v exists, overwrite(Yes/No)? Value v exists, overwrite(Yes/No)? "
                     "The operation completed successfully.\n");
    EXPECT_EQ(ValueLine(key, "v"), "    v    REG_SZ    new");
    r = Run({"add", key, "/v", "v", "/d", "newer"});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Out.find(cancelled), std::string::npos);
    EXPECT_EQ(ValueLine(key, "v"), "    v    REG_SZ    new");
    Ok({"add", key, "/v", "v", "/d", "forced", "/f"});
    EXPECT_EQ(ValueLine(key, "v"), "    v    REG_SZ    forced");

    r = Run({"delete", key, "/v", "v"}, "n\n");
    EXPECT_EQ(r.Out, std::string("Delete the registry value v (Yes/No)? ") + cancelled);
    r = Run({"delete", key, "/v", "v"}, "y\n");
    EXPECT_EQ(r.Code, 0);
    EXPECT_EQ(Run({"query", key, "/v", "v"}).Code, 1);

    Ok({"add", key, "/ve", "/d", "d"});
    Ok({"add", key, "/v", "w", "/d", "1"});
    Ok({"add", key + "\\Child", "/v", "c", "/d", "1"});
    r = Run({"delete", key, "/ve"}, "y\n");
    EXPECT_EQ(r.Out, "Delete the registry value (Default) (Yes/No)? The operation completed successfully.\n");
    r = Run({"delete", key, "/va"}, "y\n");
    EXPECT_EQ(r.Out, "Delete all values under the registry key HKEY_CURRENT_USER\\Software\\P (Yes/No)? "
                     "The operation completed successfully.\n");
    EXPECT_EQ(Run({"query", key}).Out,
              "\nHKEY_CURRENT_USER\\Software\\P\n\nHKEY_CURRENT_USER\\Software\\P\\Child\n");

    r = Run({"delete", key}, "no\n");
    EXPECT_EQ(r.Out,
              std::string("Permanently delete the registry key HKEY_CURRENT_USER\\Software\\P (Yes/No)? ") +
                  cancelled);
    EXPECT_EQ(ValueLine(key + "\\Child", "c"), "    c    REG_SZ    1");
    r = Run({"delete", key}, "y\n");
    EXPECT_EQ(r.Code, 0) << r.Err;
    EXPECT_EQ(Run({"query", key}).Code, 1);
    EXPECT_EQ(Run({"query", "HKCU\\Software"}).Code, 0); // the parent stays
}

TEST_F(RegToolCli, ExportImportRoundTripOfEveryType) {
    const std::string key = "HKLM\\Software\\Round";
    const std::vector<std::vector<std::string>> adds = {
        {"/ve", "/d", "default"},
        {"/v", "quote\"back\\slash", "/d", "C:\\Program Files\\\"x\""},
        {"/v", "caf\xC3\xA9", "/d", "\xE2\x82\xAC 5"},
        {"/v", "raw byte", "/d", "\xFF\xFE"},
        {"/v", "ex", "/t", "REG_EXPAND_SZ", "/d", "%PATH%;x"},
        {"/v", "ms", "/t", "REG_MULTI_SZ", "/d", "one\\0two\\0\xC3\xBC"},
        {"/v", "dw", "/t", "REG_DWORD", "/d", "0x80000001"},
        {"/v", "be", "/t", "REG_DWORD_BIG_ENDIAN", "/d", "7"},
        {"/v", "qw", "/t", "REG_QWORD", "/d", "0xfedcba9876543210"},
        {"/v", "bin", "/t", "REG_BINARY", "/d", std::string(200, 'a')},
        {"/v", "empty bin", "/t", "REG_BINARY"},
        {"/v", "none", "/t", "REG_NONE", "/d", "0102"},
    };
    for (const auto& a : adds) {
        std::vector<std::string> args{"add", key};
        args.insert(args.end(), a.begin(), a.end());
        Ok(args);
    }
    Ok({"add", key + "\\Sub\\Deeper", "/v", "x", "/d", "y"});
    Ok({"add", key + "\\Empty"});
    const std::string before = Run({"query", key, "/s"}).Out;

    const std::string file = (Dir / "round.reg").string();
    Ok({"export", key, file});
    const std::string exported = ReadFile(file);
    ASSERT_GE(exported.size(), 2u);
    EXPECT_EQ(exported.substr(0, 2), "\xFF\xFE");
    Ok({"delete", key, "/f"});
    EXPECT_EQ(Run({"query", key}).Code, 1);

    Ok({"import", file});
    EXPECT_EQ(Run({"query", key, "/s"}).Out, before);
    Ok({"export", key, file, "/y"});
    EXPECT_EQ(ReadFile(file), exported);

    // An existing file is kept unless the user agrees.
    WriteFile(file, "keep me");
    TRun r = Run({"export", key, file}, "n\n");
    EXPECT_EQ(r.Code, 0);
    EXPECT_NE(r.Out.find("Overwrite (Yes/No)?"), std::string::npos);
    EXPECT_EQ(ReadFile(file), "keep me");
    r = Run({"export", key, file}, "y\n");
    EXPECT_EQ(ReadFile(file), exported);
}

TEST_F(RegToolCli, ImportsRegedit4AndAppliesDeletions) {
    Ok({"add", "HKCU\\Software\\Old\\Tree", "/v", "x", "/d", "1"});
    Ok({"add", "HKCU\\Software\\Keep", "/v", "gone", "/d", "1"});
    Ok({"add", "HKCU\\Software\\Keep", "/v", "stays", "/d", "1"});
    const std::string file = (Dir / "four.reg").string();
    WriteFile(file, "REGEDIT4\r\n\r\n"
                    "[-HKEY_CURRENT_USER\\Software\\Old]\r\n"
                    "[-HKEY_CURRENT_USER\\Software\\NeverThere]\r\n"
                    "\r\n"
                    "[HKEY_CURRENT_USER\\Software\\Keep]\r\n"
                    "\"gone\"=-\r\n"
                    "\"never\"=-\r\n"
                    "\"path\"=hex(2):25,41,25,00\r\n"
                    "\"n\"=dword:0000002a\r\n"
                    "@=\"top \\\"quoted\\\"\"\r\n");
    Ok({"import", file});
    EXPECT_EQ(Run({"query", "HKCU\\Software\\Old"}).Code, 1);
    // The registry does not promise an order of values, so each is looked at alone.
    const std::string keep = "HKCU\\Software\\Keep";
    EXPECT_EQ(Run({"query", keep, "/v", "gone"}).Code, 1);
    EXPECT_EQ(ValueLine(keep, "stays"), "    stays    REG_SZ    1");
    EXPECT_EQ(ValueLine(keep, "path"), "    path    REG_EXPAND_SZ    %A%");
    EXPECT_EQ(ValueLine(keep, "n"), "    n    REG_DWORD    0x2a");
    const TRun r = Run({"query", keep, "/ve"});
    EXPECT_NE(r.Out.find("    (Default)    REG_SZ    top \"quoted\"\n"), std::string::npos) << r.Out;
}

TEST_F(RegToolCli, ImportWithABadLineChangesNothing) {
    const std::string file = (Dir / "bad.reg").string();
    WriteFile(file,
              "Windows Registry Editor Version 5.00\n\n[HKCU\\Software\\Bad]\n\"a\"=\"1\"\n\"b\"=dword:zz\n");
    TRun r = Run({"import", file});
    EXPECT_EQ(r.Code, 1);
    EXPECT_NE(r.Err.find("line 5"), std::string::npos) << r.Err;
    EXPECT_EQ(Run({"query", "HKCU\\Software\\Bad"}).Code, 1);

    WriteFile(file, "just some text\n");
    r = Run({"import", file});
    EXPECT_EQ(r.Code, 1);
    EXPECT_EQ(r.Err, "ERROR: The specified file is not a registry script.\n");
}

TEST_F(RegToolCli, ViewsSelectTheRedirectedMachineSoftwareKey) {
    Ok({"add", "HKLM\\Software\\Viewed", "/v", "bits", "/d", "32", "/reg:32"});
    Ok({"add", "HKLM\\Software\\Viewed", "/v", "bits", "/d", "64", "/reg:64"});
    EXPECT_EQ(ValueLine("HKLM\\Software\\WOW6432Node\\Viewed", "bits"), "    bits    REG_SZ    32");
    TRun r = Run({"query", "HKLM\\Software\\Viewed", "/v", "bits", "/reg:32"});
    EXPECT_NE(r.Out.find("REG_SZ    32\n"), std::string::npos) << r.Out;
    r = Run({"query", "HKLM\\Software\\Viewed", "/v", "bits", "/reg:64"});
    EXPECT_NE(r.Out.find("REG_SZ    64\n"), std::string::npos) << r.Out;

    const std::string file = (Dir / "view.reg").string();
    Ok({"export", "HKLM\\Software\\Viewed", file, "/reg:32"});
    Ok({"delete", "HKLM\\Software\\Viewed", "/f", "/reg:32"});
    EXPECT_EQ(Run({"query", "HKLM\\Software\\WOW6432Node\\Viewed"}).Code, 1);
    EXPECT_EQ(ValueLine("HKLM\\Software\\Viewed", "bits"), "    bits    REG_SZ    64");
    Ok({"import", file, "/reg:32"});
    EXPECT_EQ(ValueLine("HKLM\\Software\\WOW6432Node\\Viewed", "bits"), "    bits    REG_SZ    32");
}

TEST_F(RegToolCli, MachineKeysAreReadOnlyForOtherUsers) {
    if (ToolCommand().size() > 1)
        GTEST_SKIP() << "the rights of another build's registry are not the store's";
    if (geteuid() != 0 || std::system("setpriv --help >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "needs root and setpriv to run the tool as another user";
    Ok({"add", "HKLM\\Software\\Locked", "/v", "v", "/d", "1"});
    fs::permissions(Dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    for (const auto& entry : fs::recursive_directory_iterator(Dir))
        fs::permissions(entry.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    const std::string file = (Dir / "machine.reg").string();
    WriteFile(file, "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Locked]\n\"v\"=\"2\"\n");
    fs::permissions(file, fs::perms::others_read, fs::perm_options::add);

    Prefix = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    EXPECT_EQ(ValueLine("HKLM\\Software\\Locked", "v"), "    v    REG_SZ    1");
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"add", "HKLM\\Software\\Locked", "/v", "v", "/d", "2", "/f"},
                                               {"delete", "HKLM\\Software\\Locked", "/f"},
                                               {"delete", "HKLM\\Software\\Locked", "/va", "/f"},
                                               {"import", file}}) {
        const TRun r = Run(args);
        EXPECT_EQ(r.Code, 1) << args[0];
        EXPECT_EQ(r.Err.substr(0, 25), "ERROR: Access is denied.\n") << args[0] << ": " << r.Err;
    }
    Prefix.clear();
    EXPECT_EQ(ValueLine("HKLM\\Software\\Locked", "v"), "    v    REG_SZ    1");
}

} // namespace
