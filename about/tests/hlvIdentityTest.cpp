#include "about/hlvChecksum.h"
#include "about/hlvPEVersions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

const std::string Self = fs::read_symlink("/proc/self/exe").string();

std::vector<std::uint8_t> Load(const std::string& Path) {
    std::ifstream File(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
}

void Save(const std::string& Path, const std::vector<std::uint8_t>& Bytes) {
    std::ofstream(Path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(Bytes.data()), std::streamsize(Bytes.size()));
}

std::string CommaVersion(std::string Dotted) {
    std::string Out;
    for (char C : Dotted)
        Out += C == '.' ? std::string(", ") : std::string(1, C);
    return Out;
}

struct TempDir {
    TempDir() : Path(fs::temp_directory_path() / ("gorvane-identity-" + std::to_string(::getpid()))) {
        fs::create_directories(Path);
    }
    ~TempDir() { fs::remove_all(Path); }
    fs::path Path;
};

} // namespace

TEST(Identity, OwnExecutableCarriesTheVersionBlock) {
    ASSERT_EQ(GetVersionTranslationCount(Self), 1);
    std::vector<std::string> Lines;
    ASSERT_TRUE(ReadVersionStrings(Self, 0, Lines));
    EXPECT_EQ(ValueFromLines(Lines, "CompanyName"), "Halvessa Limited");
    EXPECT_EQ(ValueFromLines(Lines, "ProductName"), "Gorvane");
    EXPECT_EQ(ValueFromLines(Lines, "FileDescription"), "Registry tweak manager");
    EXPECT_EQ(ValueFromLines(Lines, "FileVersion"), CommaVersion(GORVANE_VERSION));
    EXPECT_EQ(ValueFromLines(Lines, "ProductVersion"), CommaVersion(GORVANE_VERSION));
    EXPECT_EQ(ValueFromLines(Lines, "OriginalFilename"), "about_identity_tests");
    EXPECT_FALSE(ValueFromLines(Lines, "LegalTrademarks").empty());
    EXPECT_EQ(Lines.size(), 12u); // no translators
    const std::string Copyright = GetLegalCopyright(Self);
    EXPECT_NE(Copyright.find("Halvessa Limited"), std::string::npos) << Copyright;
}

TEST(Identity, ChecksumMatchesUntilTheFileIsAltered) {
    ASSERT_EQ(CheckExecutableChecksum(Self), TChecksumResult::Ok);
    TempDir Dir;
    const std::string Copy = (Dir.Path / "copy").string();
    auto Image = Load(Self);

    // Stripping symbols keeps what the system loads, and so the checksum.
    fs::copy_file(Self, Copy);
    ASSERT_EQ(std::system(("strip " + Copy).c_str()), 0);
    EXPECT_EQ(CheckExecutableChecksum(Copy), TChecksumResult::Ok);

    // One altered letter of the company name, which lives in a loaded section.
    const std::u16string Company = u"Halvessa";
    const auto* Needle = reinterpret_cast<const std::uint8_t*>(Company.data());
    auto Found = std::search(Image.begin(), Image.end(), Needle, Needle + Company.size() * 2);
    ASSERT_NE(Found, Image.end());
    *Found = 'X';
    Save(Copy, Image);
    EXPECT_EQ(CheckExecutableChecksum(Copy), TChecksumResult::Corrupt);
}

TEST(Identity, StampAndCheckOfOtherFiles) {
    TempDir Dir;
    const std::string File = (Dir.Path / "plain.bin").string();
    const std::string Marker = ChecksumMarker();
    std::vector<std::uint8_t> Image(300, 0x5A);
    std::copy(Marker.begin(), Marker.end(), Image.begin() + 100);
    std::fill_n(Image.begin() + 116, 8, 0);
    Save(File, Image);
    EXPECT_EQ(CheckExecutableChecksum(File), TChecksumResult::Unstamped);

    std::string Error;
    ASSERT_TRUE(StampExecutableChecksum(File, Error)) << Error;
    EXPECT_EQ(CheckExecutableChecksum(File), TChecksumResult::Ok);
    auto Stamped = Load(File);
    Stamped[299] ^= 1; // outside ELF files every byte counts
    EXPECT_EQ(CheckImageChecksum(Stamped), TChecksumResult::Corrupt);

    EXPECT_EQ(CheckImageChecksum(std::vector<std::uint8_t>(300, 0x5A)), TChecksumResult::NoStamp);
    // A marker too close to the end to hold the stamp.
    std::vector<std::uint8_t> Short(Marker.begin(), Marker.end());
    EXPECT_EQ(CheckImageChecksum(Short), TChecksumResult::NoStamp);
    EXPECT_EQ(CheckExecutableChecksum((Dir.Path / "missing").string()), TChecksumResult::Unreadable);
    EXPECT_FALSE(StampExecutableChecksum((Dir.Path / "missing").string(), Error));
    EXPECT_FALSE(Error.empty());
}
