#include "about/hlvPEVersions.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

const std::string Fixtures = GORVANE_ABOUT_FIXTURES;
const std::string TwoTranslations = Fixtures + "/two-translations.exe";
const std::string Sparse64 = Fixtures + "/sparse64.exe";
const std::string NoResource = Fixtures + "/no-resource.exe";

std::vector<std::uint8_t> Load(const std::string& Path) {
    std::ifstream File(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
}

class TempDir {
public:
    TempDir() {
        Path = fs::temp_directory_path() /
               ("gorvane-about-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                std::to_string(reinterpret_cast<std::uintptr_t>(this)));
        fs::create_directories(Path);
    }
    ~TempDir() { fs::remove_all(Path); }
    std::string Write(const std::string& Name, const std::vector<std::uint8_t>& Bytes) const {
        const fs::path File = Path / Name;
        std::ofstream(File, std::ios::binary)
            .write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
        return File.string();
    }
    fs::path Path;
};

} // namespace

TEST(Hex, DigitsAreUpperCaseHighNibbleFirst) {
    struct {
        unsigned Value;
        const char* Byte;
        const char* Word;
    } const Cases[] = {{0, "00", "0000"},    {10, "0A", "000A"},     {255, "FF", "00FF"},
                       {1252, "E4", "04E4"}, {0x1809, "09", "1809"}, {0xABCD, "CD", "ABCD"}};
    for (const auto& Case : Cases) {
        EXPECT_EQ(ByteToHex(std::uint8_t(Case.Value & 0xFF)), Case.Byte) << Case.Value;
        EXPECT_EQ(WordToHex(std::uint16_t(Case.Value)), Case.Word) << Case.Value;
    }
}

TEST(VersionStrings, FirstTranslationInTableOrderWithTwoLineTranslators) {
    ASSERT_EQ(GetVersionTranslationCount(TwoTranslations), 2);
    std::vector<std::string> Lines{"Kept=yes"};
    ASSERT_TRUE(ReadVersionStrings(TwoTranslations, 0, Lines));
    const std::vector<std::string> Expected{
        "Kept=yes",
        "FileVersion=2, 0, 1, 3",
        "CompanyName=Example Works",
        "InternalName=",
        "Comments=",
        "LegalCopyright=",
        "LegalTrademarks=No marks",
        "OriginalFilename=",
        "ProductName=Fixture One",
        "ProductVersion=1, 2, 0, 7",
        "FileDescription=Registry tweaks",
        "PrivateBuild=",
        "SpecialBuild=",
        "Translators=German=Translator A\r\nFrench=Translator B",
        // "Build" ends in "=" and so is left out; "Instruction" is missing.
    };
    EXPECT_EQ(Lines, Expected);
}

TEST(VersionStrings, SecondTranslationHasTwelveLinesAndOutOfRangeIndexFails) {
    std::vector<std::string> Lines;
    ASSERT_TRUE(ReadVersionStrings(TwoTranslations, 1, Lines));
    ASSERT_EQ(Lines.size(), 12u);
    EXPECT_EQ(Lines.front(), "FileVersion=2,0,1,3");
    EXPECT_EQ(Lines[4], "LegalCopyright=(c) Second Table");
    EXPECT_EQ(Lines.back(), "SpecialBuild=");

    for (int Index : {2, -1}) {
        std::vector<std::string> None;
        EXPECT_FALSE(ReadVersionStrings(TwoTranslations, Index, None)) << Index;
        EXPECT_TRUE(None.empty());
    }
}

TEST(VersionStrings, LegalCopyrightIsTheFirstNonEmptyOne) {
    std::string Copyright = "untouched";
    EXPECT_TRUE(TryGetLegalCopyright(TwoTranslations, Copyright));
    EXPECT_EQ(Copyright, "(c) Second Table");
    EXPECT_EQ(GetLegalCopyright(TwoTranslations), "(c) Second Table");
}

TEST(VersionStrings, SixtyFourBitFileWithLowerCaseTableName) {
    ASSERT_EQ(GetVersionTranslationCount(Sparse64), 1);
    std::vector<std::string> Lines;
    ASSERT_TRUE(ReadVersionStrings(Sparse64, 0, Lines));
    ASSERT_EQ(Lines.size(), 13u);
    EXPECT_EQ(ValueFromLines(Lines, "ProductName"), "Sparse");
    EXPECT_EQ(ValueFromLines(Lines, "FileVersion"), "");
    EXPECT_EQ(Lines.back(), "Instruction=Press any key");
    EXPECT_EQ(GetLegalCopyright(Sparse64), "Copyright \u00A9 Sparse");
}

TEST(VersionStrings, FilesWithoutVersionBlock) {
    TempDir Dir;
    const std::string Text = Dir.Write("text.exe", {'h', 'e', 'l', 'l', 'o'});
    const std::string Empty = Dir.Write("empty.exe", {});
    for (const std::string& File : {NoResource, Text, Empty, (Dir.Path / "missing.exe").string()}) {
        EXPECT_EQ(GetVersionTranslationCount(File), 0) << File;
        std::vector<std::string> Lines;
        EXPECT_FALSE(ReadVersionStrings(File, 0, Lines)) << File;
        EXPECT_TRUE(Lines.empty());
        std::string Copyright = "untouched";
        EXPECT_FALSE(TryGetLegalCopyright(File, Copyright));
        EXPECT_EQ(Copyright, "untouched");
        EXPECT_EQ(GetLegalCopyright(File), "");
    }
}

// Every prefix of a real file, and the file with each byte of its resource section spoilt, must give
// a clean answer; the sanitizer build turns any read past a buffer into a failure.
TEST(VersionStrings, TruncatedAndCorruptFilesFailCleanly) {
    const auto Image = Load(TwoTranslations);
    ASSERT_GT(Image.size(), 0x800u);
    for (std::size_t Size = 0; Size < Image.size(); ++Size) {
        const std::vector<std::uint8_t> Prefix(Image.begin(), Image.begin() + std::ptrdiff_t(Size));
        auto Block = VersionBlockFromPE(Prefix);
        const bool Parsed = Block && TVersionInfo::FromBlock(*Block).has_value();
        // The resource section starts at 0x800; a cut inside it loses the block.
        if (Size < 0x800 + 0x100) {
            EXPECT_FALSE(Parsed) << Size;
        }
    }
    for (std::size_t At = 0; At < Image.size(); ++At)
        for (std::uint8_t Spoil : {std::uint8_t(0x00), std::uint8_t(0xFF), std::uint8_t(0x7F)}) {
            auto Copy = Image;
            Copy[At] = Spoil;
            if (auto Block = VersionBlockFromPE(Copy))
                if (auto Info = TVersionInfo::FromBlock(*Block)) {
                    std::string Value;
                    for (std::uint32_t Translation : Info->Translations())
                        Info->QueryString("\\StringFileInfo\\" + WordToHex(Translation & 0xFFFF) +
                                              WordToHex(std::uint16_t(Translation >> 16)) +
                                              "\\LegalCopyright",
                                          Value);
                }
        }

    TempDir Dir;
    const std::string Cut = Dir.Write("cut.exe", {Image.begin(), Image.begin() + 0x900});
    EXPECT_EQ(GetVersionTranslationCount(Cut), 0);
    std::vector<std::uint8_t> Header(Image.begin(), Image.begin() + 0x40);
    Header[0x3C] = 0xF0; // PE header beyond the end of the file
    const std::string Dangling = Dir.Write("dangling.exe", Header);
    std::vector<std::string> Lines;
    EXPECT_FALSE(ReadVersionStrings(Dangling, 0, Lines));
}

TEST(VersionBlock, MalformedBlocksAreRejected) {
    TVersionBlockData Data;
    Data.Tables.push_back({0x0409, 0x04E4, {{"ProductName", "X"}}});
    const auto Good = BuildVersionBlock(Data);
    ASSERT_TRUE(TVersionInfo::FromBlock(Good));

    auto LengthPastEnd = Good;
    LengthPastEnd[0] = std::uint8_t(LengthPastEnd.size() + 4);
    auto NoRootKeyEnd = Good;
    for (std::size_t I = 6; I < 6 + 32; ++I)
        NoRootKeyEnd[I] = 'A';
    NoRootKeyEnd[0] = 6 + 30;
    NoRootKeyEnd[1] = 0;
    auto ZeroChild = Good;
    // The first child (StringFileInfo) starts after the 92-byte root header and fixed info.
    ZeroChild[92] = 0;
    ZeroChild[93] = 0;
    auto WrongRoot = Good;
    WrongRoot[6] = 'X';
    for (const auto* Bad : {&LengthPastEnd, &NoRootKeyEnd, &ZeroChild, &WrongRoot})
        EXPECT_FALSE(TVersionInfo::FromBlock(*Bad));
    EXPECT_FALSE(TVersionInfo::FromBlock({}));
}

TEST(VersionBlock, WrittenBlockReadsBack) {
    TVersionBlockData Data;
    Data.FileVersion[0] = 1;
    Data.Tables.push_back(
        {0x0409, 0x04E4, {{"CompanyName", "Halvessa Limited"}, {"Comments", "\u00C9t\u00E9 \U0001F600"}}});
    Data.Tables.push_back({0x0407, 0x04B0, {{"LegalCopyright", "(c) DE"}}});
    auto Info = TVersionInfo::FromBlock(BuildVersionBlock(Data));
    ASSERT_TRUE(Info);
    EXPECT_EQ(Info->Translations(), (std::vector<std::uint32_t>{0x04E40409u, 0x04B00407u}));
    std::string Value;
    ASSERT_TRUE(Info->QueryString("\\StringFileInfo\\040904E4\\CompanyName", Value));
    EXPECT_EQ(Value, "Halvessa Limited");
    ASSERT_TRUE(Info->QueryString("\\StringFileInfo\\040904e4\\comments", Value));
    EXPECT_EQ(Value, "\u00C9t\u00E9 \U0001F600");
    EXPECT_FALSE(Info->QueryString("\\StringFileInfo\\040904E4\\LegalCopyright", Value));
    EXPECT_FALSE(Info->QueryString("\\StringFileInfo\\040904E4", Value));
}
