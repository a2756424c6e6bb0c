#include "catalogue/hlvMemIniFile.h"
#include "catalogue/hlvStringList.h"
#include "catalogue/tests/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::unique_ptr<TMemIniFile> Parse(std::string text) {
    auto ini = std::make_unique<TMemIniFile>();
    ini->SetText(std::move(text));
    return ini;
}

std::vector<std::string> SectionNames(const TMemIniFile& ini) {
    TStringList names;
    ini.ReadSections(names);
    return names.Items();
}

struct TLookupCase {
    std::string Text;
    const char* Section;
    const char* Ident;
    const char* Expected; // nullptr: the key is missing
};

class IniLookup : public testing::TestWithParam<TLookupCase> {};

TEST_P(IniLookup, ReadsTheValueTheRulesGive) {
    const TLookupCase& c = GetParam();
    auto ini = Parse(c.Text);
    const std::string_view* v = ini->FindValue(c.Section, c.Ident);
    if (!c.Expected) {
        EXPECT_EQ(v, nullptr);
        EXPECT_EQ(ini->ReadString(c.Section, c.Ident, "dflt"), "dflt");
    } else {
        ASSERT_NE(v, nullptr);
        EXPECT_EQ(*v, c.Expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, IniLookup,
    testing::Values(
        // line ends: CR LF, LF, CR, mixed
        TLookupCase{"[s]\r\na=1\r\nb=2\r\n", "s", "b", "2"}, TLookupCase{"[s]\ra=1\rb=2", "s", "b", "2"},
        TLookupCase{"[s]\n\ra=1\n", "s", "a", "1"},
        // trimming of codes 1..32 at both ends, and around name and value
        TLookupCase{"\t [ s ] \x01\n \x1f a \t= \"v 1\"  \x7f\n", "s", "a", "\"v 1\"  \x7f"},
        // comments and lines without "="
        TLookupCase{"[s]\n;a=1\n a\n", "s", "a", nullptr}, TLookupCase{"[s]\n  ;a=1\n", "s", ";a", nullptr},
        // first "=" splits; the value is literal
        TLookupCase{"[s]\na = b = c\n", "s", "a", "b = c"}, TLookupCase{"[s]\na=\\n\\\n", "s", "a", "\\n\\"},
        TLookupCase{"[s]\n=x\n", "s", "", "x"},
        // names ignore case, also with locale upper-casing beyond ASCII
        TLookupCase{"[SeCtIoN]\nKEY=1\n", "section", "key", "1"},
        TLookupCase{"[\xc3\xa4rger]\n\xc3\xb6l=1\n", "\xc3\x84RGER", "\xc3\x96L", "1"},
        // the later of two equal keys counts
        TLookupCase{"[s]\nk=1\nK=2\n", "s", "k", "2"},
        // a repeated section: the later occurrence is read, the earlier is not merged
        TLookupCase{"[s]\na=1\nb=1\n[S]\na=2\n", "s", "a", "2"},
        TLookupCase{"[s]\nb=1\n[S]\na=2\n", "s", "b", nullptr},
        // keys before the first section belong to none
        TLookupCase{"a=1\n[s]\n", "s", "a", nullptr},
        // a NUL byte ends the text
        TLookupCase{std::string("[s]\na=1\0\nb=2\n", 13), "s", "a", "1"},
        // "[" alone is no section; "[]" is the empty name
        TLookupCase{"[s]\n[\na=1\n", "s", "a", "1"}, TLookupCase{"[]\na=1\n", "", "a", "1"},
        // a missing final newline
        TLookupCase{"[s]\na=last", "s", "a", "last"}),
    [](const testing::TestParamInfo<TLookupCase>& p) { return "case" + std::to_string(p.index); });

TEST(IniReader, NulEndsTheText) {
    auto ini = Parse(std::string("[s]\na=1\n\0[t]\nb=2\n", 17));
    EXPECT_EQ(SectionNames(*ini), std::vector<std::string>{"s"});
}

TEST(IniReader, KeepsSectionsInFileOrderWithRepeats) {
    auto ini = Parse("[b]\n[A]\n[b]\nnot a section]\n[ c ]\n");
    EXPECT_EQ(SectionNames(*ini), (std::vector<std::string>{"b", "A", "b", "c"}));
    ASSERT_EQ(ini->Sections().size(), 4u);
    EXPECT_EQ(ini->Sections()[3].Line, 5);
}

TEST(IniReader, SkipsAByteOrderMarkAndKeepsTheFirstSection) {
    auto ini = Parse("\xEF\xBB\xBF[first]\r\nTitle=x\r\n");
    EXPECT_TRUE(ini->HadByteOrderMark());
    EXPECT_EQ(ini->ReadString("first", "Title", ""), "x");
    // Only at the very start.
    auto later = Parse("[a]\n\xEF\xBB\xBF[b]\n");
    EXPECT_FALSE(later->HadByteOrderMark());
    EXPECT_EQ(SectionNames(*later), (std::vector<std::string>{"a"}));
}

TEST(IniReader, ReportsKeysOutsideSections) {
    auto ini = Parse("; comment\nTitle=x\nno key\n[s]\nk=v\n");
    EXPECT_EQ(ini->KeysOutsideSections(), std::vector<int>{2});
}

TEST(IniReader, MissingFileIsEmptyAndNoError) {
    TempDir dir;
    TMemIniFile ini((dir.Path() / "none.ini").string());
    EXPECT_TRUE(ini.Sections().empty());
    TMemIniFile belowAFile((dir.Path() / "none.ini" / "x.ini").string());
    EXPECT_TRUE(belowAFile.Sections().empty());
}

TEST(IniReader, FileThatCannotBeOpenedRaisesTheFileOpenError) {
    TempDir dir;
    struct TCase {
        std::string Name;
        int Error;
    };
    std::vector<TCase> cases;
    cases.push_back({(dir.Path() / "folder.ini").string(), EISDIR});
    std::filesystem::create_directory(cases.back().Name);
    cases.push_back({(dir.Path() / "loop.ini").string(), ELOOP});
    std::filesystem::create_symlink("loop.ini", cases.back().Name);
    if (::geteuid() != 0) { // root opens any file, whatever its rights
        cases.push_back({dir.Write("locked.ini", "[s]\n"), EACCES});
        std::filesystem::permissions(cases.back().Name, std::filesystem::perms::none);
    }
    for (const TCase& c : cases) {
        try {
            TMemIniFile ini(c.Name);
            ADD_FAILURE() << "no error for " << c.Name;
        } catch (const EFOpenError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot open file \"" + c.Name + "\". " + std::strerror(c.Error));
        }
    }
}

TEST(IniReader, NamedPipeReadsAsEmptyWithoutBlocking) {
    TempDir dir;
    const std::string name = (dir.Path() / "pipe.ini").string();
    ASSERT_EQ(::mkfifo(name.c_str(), 0600), 0);
    TMemIniFile ini(name);
    EXPECT_TRUE(ini.Sections().empty());
}

TEST(IniReader, HostileInputLoadsWithoutCrashOrHang) {
    std::mt19937 rng(7);
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage)
        c = static_cast<char>(rng() % 255 + 1); // no NUL, so all of it is parsed
    auto g = Parse(garbage);
    (void)g->Sections();

    // One megabyte lines, invalid UTF-8 in names and values, no final newline.
    std::string longLine =
        "[s\xff\xfe]\nk\xc3=" + std::string(1 << 20, 'v') + "\n" + std::string(1 << 20, '[');
    auto l = Parse(longLine);
    ASSERT_EQ(l->Sections().size(), 1u);
    EXPECT_EQ(l->ReadString("S\xff\xfe", "K\xc3", "").size(), 1u << 20);

    // A 50 MB file of sections.
    std::string big;
    big.reserve(50u << 20);
    for (int i = 0; big.size() < (50u << 20); ++i)
        big += "[t" + std::to_string(i) + "]\nTitle=" + std::string(80, 'x') + "\n";
    TempDir dir;
    TMemIniFile b(dir.Write("big.ini", big));
    EXPECT_GT(b.Sections().size(), 400000u);
    EXPECT_EQ(b.ReadString("T12345", "title", "").size(), 80u);
}

} // namespace
