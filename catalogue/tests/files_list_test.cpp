#include "catalogue/hlvDate.h"
#include "catalogue/hlvFilesList.h"
#include "catalogue/tests/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

// Runs the searches with the current folder set to a temporary one, so relative patterns stay inside it.
class FileList : public testing::Test {
protected:
    void SetUp() override {
        FOld = std::filesystem::current_path();
        std::filesystem::current_path(Dir.Path());
        for (const char* name :
             {"a/1.ini", "a/2.INI", "a/.hidden.ini", "a/note.txt", "a/sub/3.ini", "a/sub/deep/4.ini",
              "a/.secret/5.ini", "a/dir.ini/6.ini", "b/7.ini", "b/bsub/8.ini", "9.ini"})
            Dir.Write(name, "x");
    }
    void TearDown() override { std::filesystem::current_path(FOld); }

    static std::vector<std::string> Names(const TFileSystemFileList& l) {
        std::vector<std::string> r;
        for (int i = 0; i < l.Count(); ++i)
            r.push_back(l.Items(i)->FullName());
        return r;
    }

    TempDir Dir;
    std::filesystem::path FOld;
};

using V = std::vector<std::string>;

TEST_F(FileList, PatternsInOrderThenSubfoldersBreadthFirst) {
    TFileSystemFileList flat;
    flat.SetRecursive(false);
    flat.SetMasks("a/*.ini;b/*.ini");
    EXPECT_EQ(Names(flat), (V{"a/.hidden.ini", "a/1.ini", "a/2.INI", "b/7.ini"}));
    EXPECT_EQ(flat.PendingPatterns().Count(), 0);

    TFileSystemFileList deep;
    EXPECT_TRUE(deep.Recursive());
    deep.SetMasks("a/*.ini;b/*.ini");
    // Hidden folders are not entered; folders that match are no results but are entered.
    EXPECT_EQ(Names(deep), (V{"a/.hidden.ini", "a/1.ini", "a/2.INI", "b/7.ini", "a/dir.ini/6.ini",
                              "a/sub/3.ini", "b/bsub/8.ini", "a/sub/deep/4.ini"}));
    EXPECT_EQ(deep.Items(5)->Path, "a/sub/");
    EXPECT_EQ(deep.Items(5)->Filename, "3.ini");
}

TEST_F(FileList, FolderAloneMeansEveryFileAndWritesAccumulate) {
    TFileSystemFileList l;
    l.SetRecursive(false);
    l.SetMasks("a/");
    EXPECT_EQ(Names(l), (V{"a/.hidden.ini", "a/1.ini", "a/2.INI", "a/note.txt"}));
    l.SetMasks("9.ini");
    EXPECT_EQ(l.Count(), 5);
    EXPECT_EQ(l.Items(4)->Path, "");
    EXPECT_EQ(l.Masks(), "9.ini");
}

TEST_F(FileList, EmptyPartsAndMissingFoldersFindNothing) {
    TFileSystemFileList l;
    l.SetRecursive(false);
    l.SetMasks(";;missing/*.ini;");
    EXPECT_EQ(l.Count(), 0);
    TFileSystemFileList r;
    r.SetMasks("");
    EXPECT_EQ(r.Count(), 0);
}

TEST_F(FileList, ReportsSizeAttributesAndTimes) {
    Dir.Write("a/sized.ini", std::string(1234, 'z'));
    std::filesystem::permissions("a/sized.ini", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    TFileSystemFileList l;
    l.SetRecursive(false);
    l.SetMasks("a/?ized.*;a/.h*");
    ASSERT_EQ(l.Count(), 2);
    const TFileSystemFile& f = *l.Items(0);
    EXPECT_EQ(f.Size, 1234);
    EXPECT_EQ(f.Attr, faArchive | faReadOnly);
    EXPECT_EQ(l.Items(1)->Attr, faArchive | faHidden);
    EXPECT_TRUE(f.FilenameShort.empty());
    const double now =
        FileTimeToDateTime((static_cast<std::uint64_t>(std::time(nullptr)) + 11644473600ull) * 10000000u);
    EXPECT_NEAR(f.TimeLastWrite, now, 1.0 / 24 / 60);
    EXPECT_NEAR(f.TimeLastAccess, now, 1.0 / 24 / 60);
    // Creation time only where the file system keeps one.
    EXPECT_TRUE(f.TimeCreation == 0 || std::abs(f.TimeCreation - now) < 1.0 / 24 / 60) << f.TimeCreation;
}

TEST(FileMask, StarAndQuestionMarkIgnoreCase) {
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"Explorer.INI", "*.ini", true},
        {"a.ini", "?.ini", true},
        {"ab.ini", "?.ini", false},
        {"readme", "*.*", true},
        {"x.ini.bak", "*.ini", false},
        {"", "*", true},
        {"abc", "a*b*c*", true},
        {"ab", "a*b*c", false},
        {"aaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", false}};
    for (const auto& [name, mask, expected] : cases)
        EXPECT_EQ(FileMaskMatches(name, mask), expected) << name << " ~ " << mask;
}

TEST(FileTime, ConvertsToLocalTimeAtTwoSeconds) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    auto ft = [](std::int64_t unixSeconds, int hundredNs = 0) {
        return static_cast<std::uint64_t>(unixSeconds + 11644473600ll) * 10000000u +
               static_cast<std::uint64_t>(hundredNs);
    };
    // 2001-02-03 04:05:07.9 UTC: seconds rounded down to even.
    TDateTime expected = 0;
    ASSERT_TRUE(TryEncodeDateTime(2001, 2, 3, 4, 5, 6, expected));
    EXPECT_DOUBLE_EQ(FileTimeToDateTime(ft(981173107, 9000000)), expected);
    EXPECT_DOUBLE_EQ(expected, 36925 + (4 * 3600 + 5 * 60 + 6) / 86400.0);
    EXPECT_EQ(FileTimeToDateTime(ft(315532799)), 0);     // 1979-12-31 23:59:59
    EXPECT_GT(FileTimeToDateTime(ft(315532800)), 29220); // 1980-01-01
    EXPECT_EQ(FileTimeToDateTime(0), 0);
    EXPECT_EQ(FileTimeToDateTime(ft(4354819200)), 0); // 2108-01-01
    ::setenv("TZ", "EST5", 1);
    ::tzset();
    EXPECT_EQ(FileTimeToDateTime(ft(315547200)), 0); // 1980-01-01 04:00 UTC is 1979 in local time
    EXPECT_DOUBLE_EQ(FileTimeToDateTime(ft(315550800 + 3600)), 29221 + 1.0 / 24);
    ::unsetenv("TZ");
    ::tzset();
}

} // namespace
