#include "catalogue/hlvMemIniFile.h"
#include "catalogue/hlvRegTweakList.h"
#include "catalogue/tests/TempDir.h"
#include "registry/hlvRegTools.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

TRegistryTweakList Load(const std::string& text) {
    TMemIniFile ini;
    ini.SetText(text);
    TRegistryTweakList list;
    list.LoadFromIni(ini, false);
    return list;
}

std::vector<std::string> Ids(const TRegistryTweakList& list) {
    std::vector<std::string> ids;
    for (int i = 0; i < list.Count(); ++i)
        ids.push_back(list.Items(i)->TweakID);
    return ids;
}

std::vector<std::string> Strings(const TStringList& l) {
    return l.Items();
}

TEST(TweakNameTables, RootKeysAndDataTypesAreByteExact) {
    const std::pair<const char*, std::uint32_t> roots[] = {{"HKEY_CLASSES_ROOT", 0x80000000u},
                                                           {"HKCR", 0x80000000u},
                                                           {"HKEY_CURRENT_USER", 0x80000001u},
                                                           {"HKCU", 0x80000001u},
                                                           {"HKLM", 0x80000002u},
                                                           {"HKEY_USERS", 0x80000003u},
                                                           {"HKUS", 0x80000003u},
                                                           {"HKPD", 0x80000004u},
                                                           {"HKEY_CURRENT_CONFIG", 0x80000005u},
                                                           {"HKDD", 0x80000006u},
                                                           {"HKU", 0},
                                                           {"hklm", 0},
                                                           {"HKLM ", 0},
                                                           {"", 0}};
    for (const auto& [name, key] : roots)
        EXPECT_EQ(RootKeyNumber(RootKeyFromString(name)), key) << name;
    for (const TRegDataTypeName& n : RegDataTypeNames)
        EXPECT_EQ(RegDataTypeFromString(n.Name), n.Kind) << n.Name;
    EXPECT_EQ(RegDataTypeFromString("REG_QWORD_LITTLE_ENDIAN"), TRegDataType::rdLittleEndianInt64);
    EXPECT_EQ(RegDataTypeFromString("reg_sz"), TRegDataType::rdUnknown);
    EXPECT_EQ(RegDataTypeFromString(""), TRegDataType::rdUnknown);
}

TEST(TweakConversions, YesNoNumbers) {
    const std::pair<const char*, bool> cases[] = {
        {"1", true},           {"-1", true},         {"0x10", true},         {"0X0", false},
        {"$ff", true},         {"-$1", true},        {"+7", true},           {"0", false},
        {"-0", false},         {"true", false},      {"yes", false},         {"", false},
        {"0x", false},         {"0xg", false},       {"1 ", false},          {"2147483648", false},
        {"-2147483648", true}, {"0xFFFFFFFF", true}, {"0x100000000", false}, {"$", false},
        {"-", false}};
    for (const auto& [text, yes] : cases)
        EXPECT_EQ(ReadYesNo(text), yes) << text;
    EXPECT_EQ(ParseTweakInteger("0xFFFFFFFF"), -1);
    EXPECT_EQ(ParseTweakInteger("-$10"), -16);
}

TEST(TweakConversions, CommaLists) {
    struct TCase {
        const char* Text;
        std::vector<std::string> Items;
        bool Unclosed;
    };
    const TCase cases[] = {
        {"", {}, false},
        {"Start Menu,Explorer", {"Start", "Menu", "Explorer"}, false},
        {"\"Start Menu\",Explorer", {"Start Menu", "Explorer"}, false},
        {"a,,b", {"a", "", "b"}, false},
        {"a,", {"a", ""}, false},
        {"a , b\t,\tc", {"a", "b", "c"}, false},
        {"\"say \"\"hi\"\"\",x", {"say \"hi\"", "x"}, false},
        {"\"\",x", {"", "x"}, false},
        {"\"open, end", {"open, end"}, true},
        {",", {"", ""}, false},
    };
    for (const TCase& c : cases) {
        TStringList l;
        bool unclosed = false;
        ReadCommaList(c.Text, l, &unclosed);
        EXPECT_EQ(Strings(l), c.Items) << c.Text;
        EXPECT_EQ(unclosed, c.Unclosed) << c.Text;
    }
}

TEST(TweakLoading, SectionWithoutKeysGetsTheDefaults) {
    TRegistryTweakList list = Load("[only]\n");
    ASSERT_EQ(list.Count(), 1);
    const TRegistryTweak& t = *list.Items(0);
    EXPECT_EQ(t.TweakID, "only");
    EXPECT_EQ(t.RegRootKey, HKEY_LOCAL_MACHINE);
    EXPECT_EQ(t.RegDataType, TRegDataType::rdNone);
    EXPECT_FALSE(t.RegBooleanDecision);
    EXPECT_FALSE(t.OfferFilenamePicker);
    EXPECT_TRUE(t.Title.empty() && t.Description.empty() && t.RegKeyPath.empty() && t.TechRefUrl.empty());
    EXPECT_EQ(t.Categories.Count() + t.Suggestions.Count(), 0);
    EXPECT_EQ(Load("no sections\nTitle=x\n").Count(), 0);
}

TEST(TweakLoading, EmptyValuesCountAsPresent) {
    TRegistryTweakList list = Load("[t]\nRegRootKey=\nRegDataType=\nRegBooleanDecision=\nCategories=\n");
    EXPECT_EQ(list.Items(0)->RegRootKey, nullptr);
    EXPECT_EQ(list.Items(0)->RegDataType, TRegDataType::rdUnknown);
}

TEST(TweakLoading, ReadsEveryKeyWithItsConversion) {
    TRegistryTweakList list = Load("[Tw]\n"
                                   "title=\"Quoted\"\nCOMPANY=Co\nProduct=Prod\nDescription=Long text\n"
                                   "TechRefUrl=https://example.invalid/x\nRegRootKey=HKUS\n"
                                   "RegKeyPath=Software\\X\nRegValueName=Val\nregdatatype=REG_SZ\n"
                                   "RegBooleanDecision=0x10\nOfferFilenamePicker=1\n"
                                   "Categories=\"Start Menu\",Explorer\nSuggestions=a,\nOther=ignored\n"
                                   "Title=Later\n");
    const TRegistryTweak& t = *list.Items(0);
    EXPECT_EQ(t.Title, "Later");
    EXPECT_EQ(t.Company, "Co");
    EXPECT_EQ(t.Product, "Prod");
    EXPECT_EQ(t.Description, "Long text");
    EXPECT_EQ(t.TechRefUrl, "https://example.invalid/x");
    EXPECT_EQ(t.RegRootKey, HKEY_USERS);
    EXPECT_EQ(t.RegKeyPath, "Software\\X");
    EXPECT_EQ(t.RegValueName, "Val");
    EXPECT_EQ(t.RegDataType, TRegDataType::rdString);
    EXPECT_TRUE(t.RegBooleanDecision);
    EXPECT_TRUE(t.OfferFilenamePicker);
    EXPECT_EQ(Strings(t.Categories), (std::vector<std::string>{"Start Menu", "Explorer"}));
    EXPECT_EQ(Strings(t.Suggestions), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(Load("[q]\nTitle=\"word\"\n").Items(0)->Title, "\"word\"");
    // Key names upper-case with the locale's rules: the dotless i becomes I.
    EXPECT_EQ(Load("[q]\nt\xc4\xb1tle=dotless\nTitle_=no\n").Items(0)->Title, "dotless");
}

TEST(TweakLoading, SectionsInLocaleOrderCaseIgnored) {
    EXPECT_EQ(Ids(Load("[b]\n[A]\n")), (std::vector<std::string>{"A", "b"}));
    // ASCII-only folding would put the accented name after "f".
    EXPECT_EQ(Ids(Load("[f]\n[\xc3\xa9t\xc3\xa9]\n[E]\n")),
              (std::vector<std::string>{"E", "\xc3\xa9t\xc3\xa9", "f"}));
}

TEST(TweakLoading, RepeatedSectionsBothReadTheLaterOne) {
    TRegistryTweakList list = Load("[dup]\nTitle=first\n[other]\n[DUP]\nTitle=second\n");
    ASSERT_EQ(list.Count(), 3);
    EXPECT_EQ(Ids(list), (std::vector<std::string>{"dup", "DUP", "other"}));
    EXPECT_EQ(list.Items(0)->Title, "second");
    EXPECT_EQ(list.Items(1)->Title, "second");
}

TEST(TweakLoading, ByteOrderMarkKeepsTheFirstSection) {
    TRegistryTweakList list = Load("\xEF\xBB\xBF[first]\nTitle=kept\n[second]\n");
    EXPECT_EQ(Ids(list), (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(list.Items(0)->Title, "kept");
}

TEST(TweakLoading, FilesAccumulateAndClearFirstEmpties) {
    TempDir dir;
    const std::string a = dir.Write("a.ini", "[z]\n[y]\n");
    const std::string b = dir.Write("b.ini", "[x]");
    TRegistryTweakList list;
    list.LoadFromFile(a, false);
    list.LoadFromFile(b, false);
    list.LoadFromFile((dir.Path() / "missing.ini").string(), false);
    EXPECT_EQ(Ids(list), (std::vector<std::string>{"y", "z", "x"}));
    list.FilterByCompany("");
    list.LoadFromFile(b, true);
    EXPECT_EQ(Ids(list), std::vector<std::string>{"x"});
    EXPECT_EQ(list.VisibleCount(), 0);
}

TEST(TweakLoading, OpenErrorAddsNothingAndDoesNotClear) {
    TempDir dir;
    TRegistryTweakList list;
    list.LoadFromFile(dir.Write("a.ini", "[kept]\n"), false);
    const std::string folder = (dir.Path() / "sub.ini").string();
    std::filesystem::create_directory(folder);
    EXPECT_THROW(list.LoadFromFile(folder, true), EFOpenError);
    EXPECT_EQ(Ids(list), std::vector<std::string>{"kept"});
}

TEST(TweakLoading, AddTweakIsEmpty) {
    TRegistryTweakList list;
    TRegistryTweak* t = list.AddTweak();
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Items(0), t);
    EXPECT_EQ(t->RegRootKey, nullptr);
    EXPECT_EQ(t->RegDataType, TRegDataType::rdUnknown);
    EXPECT_FALSE(t->RegBooleanDecision || t->OfferFilenamePicker);
}

} // namespace
