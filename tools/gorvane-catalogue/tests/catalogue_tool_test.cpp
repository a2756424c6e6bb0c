#include "catalogue/tests/TempDir.h"
#include "tools/gorvane-catalogue/CatalogueTool.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct TRun {
    int Status;
    std::string Out;
    std::string Err;
};

TRun RunTool(std::vector<std::string> args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    int status = RunCatalogueTool(args, in, out, err);
    return {status, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    return lines;
}

using V = std::vector<std::string>;

TEST(CatalogueTool, DumpPrintsOneJsonObjectPerTweakInCatalogueOrder) {
    TempDir dir;
    dir.Write("b.ini", "[b1]\nTitle=Second file\n");
    dir.Write("A.INI", "[z]\nTitle=q\"\\\t\xff\xc3\xa9\nRegRootKey=HKCU\nRegDataType=REG_DWORD\n"
                       "RegBooleanDecision=1\nCategories=\"x y\",z\n[a]\n");
    dir.Write("notes.txt", "[ignored]\n");
    TRun r = RunTool({"dump", dir.Path().string()});
    ASSERT_EQ(r.Status, 0) << r.Err;
    V lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "{\"TweakID\":\"a\",\"Company\":\"\",\"Product\":\"\",\"Title\":\"\",\"Description\":\"\","
              "\"TechRefUrl\":\"\",\"RegRootKey\":2147483650,\"RegKeyPath\":\"\",\"RegValueName\":\"\","
              "\"RegDataType\":\"rdNone\",\"RegBooleanDecision\":false,\"OfferFilenamePicker\":false,"
              "\"Categories\":[],\"Suggestions\":[]}");
    EXPECT_NE(lines[1].find("\"TweakID\":\"z\""), std::string::npos);
    EXPECT_NE(lines[1].find("\"Title\":\"q\\\"\\\\\\u0009\\u00ff\xc3\xa9\""), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("\"RegRootKey\":2147483649"), std::string::npos);
    EXPECT_NE(lines[1].find("\"RegDataType\":\"rdInteger\",\"RegBooleanDecision\":true"), std::string::npos);
    EXPECT_NE(lines[1].find("\"Categories\":[\"x y\",\"z\"]"), std::string::npos);
    EXPECT_NE(lines[2].find("\"TweakID\":\"b1\""), std::string::npos);
}

TEST(CatalogueTool, JsonStringEscapesWhatIsNotValidUtf8) {
    EXPECT_EQ(JsonString("\xe2\x82\xac"), "\"\xe2\x82\xac\"");
    EXPECT_EQ(JsonString("\xe2\x82"), "\"\\u00e2\\u0082\"");
    EXPECT_EQ(JsonString("\xc0\xaf\xed\xa0\x80"),
              "\"\\u00c0\\u00af\\u00ed\\u00a0\\u0080\""); // overlong, surrogate
    EXPECT_EQ(JsonString(std::string("\0\x7f", 2)), "\"\\u0000\\u007f\"");
}

TEST(CatalogueTool, LintReportsAuthorsMistakesWithFileAndLine) {
    TempDir dir;
    const std::string a = dir.Write("a.ini", "\xEF\xBB\xBF"
                                             "[one]\n"                   // 1
                                             "Title=t\n"                 // 2
                                             "RegKeyPath=k\n"            // 3
                                             "RegRootKey=HKU\n"          // 4
                                             "RegDataType=REG_SZ\n"      // 5
                                             "RegBooleanDecision=1\n"    // 6
                                             "OfferFilenamePicker=yes\n" // 7
                                             "Categories=\"open,x\n"     // 8
                                             "[two]\n"                   // 9
                                             "RegDataType=reg_dword\n"); // 10
    const std::string b = dir.Write("b.ini", "Title=orphan\n[ONE]\nTitle=t\nRegKeyPath=k\n");
    TRun r = RunTool({"lint", dir.Path().string()});
    EXPECT_EQ(r.Status, 1);
    const std::string out = r.Out;
    for (const std::string& expected :
         {a + ":1: error: the file begins with a UTF-8 byte-order mark",
          a + ":4: error: unknown root key \"HKU\"; allowed: HKEY_CLASSES_ROOT, HKCR,",
          a + ":6: error: RegBooleanDecision applies only to REG_DWORD",
          a + ":7: error: OfferFilenamePicker \"yes\" is not a number",
          a + ":8: error: Categories has a double quote that is never closed",
          a + ":9: error: [two] has no Title", a + ":9: error: [two] has no RegKeyPath",
          a + ":10: error: unknown data type \"reg_dword\"; allowed: REG_NONE, REG_SZ,",
          b + ":1: error: key outside any section",
          b + ":2: error: TweakID \"ONE\" is used twice (first at " + a + ":1)",
          std::string("10 errors in 2 files")})
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
    EXPECT_EQ(Lines(out).size(), 11u) << out;

    TempDir clean;
    clean.Write("ok.ini", "[t]\nTitle=x\nRegKeyPath=k\nRegDataType=REG_DWORD\nRegBooleanDecision=1\n");
    TRun ok = RunTool({"lint", clean.Path().string()});
    EXPECT_EQ(ok.Status, 0);
    EXPECT_EQ(ok.Out, "0 errors in 1 file\n");
}

class ToolCatalogue : public testing::Test {
protected:
    void SetUp() override {
        Dir.Write("one.ini", "[s1]\nTitle=Beta\nCompany=Contoso\nProduct=Shell\nCategories=Explorer,System\n"
                             "[s2]\nTitle=Alpha\nCompany=Fabrikam\nProduct=Apps\nCategories=explorer\n"
                             "[s3]\nTitle=Gamma\nCompany=contoso\nProduct=Apps\nRegKeyPath=Software\\Beta\n"
                             "[s4]\nTitle=Delta\nCompany=Contoso\nProduct=Boot\n");
    }
    TempDir Dir;
};

TEST_F(ToolCatalogue, FacetsAreThePickListsOfStartUp) {
    TRun r = RunTool({"facets", Dir.Path().string()});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Lines(r.Out), (V{"[Categories]", "Explorer", "System", "[Companies]", "Contoso", "Fabrikam",
                               "[Products]", "Apps", "Boot", "Shell"}));
}

TEST_F(ToolCatalogue, SelectRunsTheWindowsFilterActions) {
    const std::pair<V, V> cases[] = {
        {{"--category", "EXPLORER"}, {"s2", "s1"}}, // the order start-up's product sort left
        {{"--company", "Contoso"}, {"s4", "s1"}},   // by product, then title
        {{"--product", "Apps"}, {"s2", "s3"}},      // by title
        {{"--search", "beta"}, {"s3", "s1"}},       // by company, then product, then title
        {{"--search", ""}, {}},
    };
    for (const auto& [filter, ids] : cases) {
        TRun r = RunTool({"select", Dir.Path().string(), filter[0], filter[1]});
        EXPECT_EQ(r.Status, 0) << r.Err;
        EXPECT_EQ(Lines(r.Out), ids) << filter[0] << " " << filter[1];
    }
    TRun bad = RunTool({"select", Dir.Path().string(), "--search", "<regexpr>(("});
    EXPECT_EQ(bad.Status, 2);
    EXPECT_NE(bad.Err.find("error: "), std::string::npos);
}

TEST(CatalogueTool, MatchReadsTextTabRuleLines) {
    TRun r = RunTool({"match"}, "Hello World\tworld\nHello\t<wc>h*O\nabc\t<pcre>(\nno tab here\n");
    EXPECT_EQ(r.Status, 0);
    V lines = Lines(r.Out);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "true");
    EXPECT_EQ(lines[1], "true");
    EXPECT_EQ(lines[2].rfind("error: ", 0), 0u);
    EXPECT_EQ(lines[3].rfind("error: ", 0), 0u);
    EXPECT_EQ(RunTool({"match", "--case-sensitive"}, "Hello World\tworld\r\n").Out, "false\n");
    EXPECT_EQ(RunTool({"match", "--default-method", "6"}, "abc\tABC\nabc\tab\n").Out, "true\nfalse\n");
    EXPECT_EQ(RunTool({"match", "--default-method", "x"}).Status, 2);
}

TEST(CatalogueTool, UsageErrorsExitWithTwo) {
    TempDir dir;
    const std::string missing = (dir.Path() / "missing").string();
    const V cases[] = {{},
                       {"frobnicate", dir.Path().string()},
                       {"dump", missing},
                       {"lint"},
                       {"facets", missing},
                       {"select", missing, "--search", "x"},
                       {"select", dir.Path().string(), "--colour", "x"}};
    for (const V& args : cases) {
        TRun r = RunTool(args);
        EXPECT_EQ(r.Status, 2) << testing::PrintToString(args);
        EXPECT_NE(r.Err.find("gorvane-catalogue: "), std::string::npos);
    }
    TRun help = RunTool({"--help"});
    EXPECT_EQ(help.Status, 0);
    EXPECT_NE(help.Out.find("Usage: gorvane-catalogue"), std::string::npos);
}

TEST(CatalogueTool, UnreadableFileIsNamedAndSkipped) {
    TempDir dir;
    dir.Write("a.ini", "[a]\n");
    dir.Write("z.ini", "[z]\n");
    std::filesystem::create_symlink("loop.ini", dir.Path() / "loop.ini");
    TRun r = RunTool({"dump", dir.Path().string()});
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find("Cannot open file \"" + (dir.Path() / "loop.ini").string() + "\". "),
              std::string::npos)
        << r.Err;
    ASSERT_EQ(Lines(r.Out).size(), 2u);
    EXPECT_NE(Lines(r.Out)[1].find("\"TweakID\":\"z\""), std::string::npos);
    EXPECT_EQ(RunTool({"select", dir.Path().string(), "--company", ""}).Out, "a\nz\n");
}

} // namespace
