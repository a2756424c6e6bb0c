#include "tools/gorvane-reg/RegFile.h"
#include "tools/gorvane-reg/RegValueText.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

TBytes B(std::string_view s) {
    return TBytes(s.begin(), s.end());
}

// A version 5.00 file as the registry editor writes it.
std::string Utf16File(std::string_view text) {
    const TBytes bytes = Utf16LeBytes(Utf8ToUtf16(text));
    return "\xFF\xFE" + std::string(bytes.begin(), bytes.end());
}

TEST(KeyName, RootsInShortAndLongFormAnyCase) {
    struct Case {
        const char* Text;
        HKEY Root;
        const char* Full;
    } cases[] = {
        {"HKLM\\Software\\X", HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE\\Software\\X"},
        {"hkey_current_user\\a", HKEY_CURRENT_USER, "HKEY_CURRENT_USER\\a"},
        {"HKCU", HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
        {"HKCR\\.txt", HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT\\.txt"},
        {"HKU\\.DEFAULT\\", HKEY_USERS, "HKEY_USERS\\.DEFAULT"},
        {"HKEY_CURRENT_CONFIG\\System\\\\", HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG\\System"},
    };
    for (const Case& c : cases) {
        const auto key = ParseRegKeyName(c.Text);
        ASSERT_TRUE(key) << c.Text;
        EXPECT_EQ(key->Root, c.Root) << c.Text;
        EXPECT_EQ(key->Full(), c.Full);
    }
    for (const char* bad : {"", "HKXX\\a", "HKLMx\\a", "\\\\server\\HKLM\\a", "Software\\X", "HKUS\\a"})
        EXPECT_FALSE(ParseRegKeyName(bad)) << bad;
}

TEST(ValueData, EncodesWhatAddAccepts) {
    struct Case {
        DWORD Type;
        const char* Data;
        const char* Separator;
        std::string Bytes; // "!" for data the type refuses
    } cases[] = {
        {REG_SZ, "x y", "", std::string("x y\0", 4)},
        {REG_EXPAND_SZ, "%PATH%", "", std::string("%PATH%\0", 7)},
        {REG_SZ, "", "", std::string("\0", 1)},
        {REG_MULTI_SZ, "a\\0bc", "", std::string("a\0bc\0\0", 6)},
        {REG_MULTI_SZ, "a,b,", ",", std::string("a\0b\0\0", 5)},
        {REG_MULTI_SZ, "", "", std::string("\0", 1)},
        {REG_MULTI_SZ, "a\\0\\0b", "", "!"},
        {REG_DWORD, "0x10", "", std::string("\x10\0\0\0", 4)},
        {REG_DWORD, "4294967295", "", "\xff\xff\xff\xff"},
        {REG_DWORD, "", "", std::string(4, '\0')},
        {REG_DWORD, "4294967296", "", "!"},
        {REG_DWORD, "-1", "", "!"},
        {REG_DWORD, "0x", "", "!"},
        {REG_DWORD, "12a", "", "!"},
        {REG_DWORD_BIG_ENDIAN, "0x01020304", "", "\x01\x02\x03\x04"},
        {REG_QWORD, "0xffffffffffffffff", "", std::string(8, '\xff')},
        {REG_QWORD, "18446744073709551616", "", "!"},
        {REG_BINARY, "00fF7a", "", std::string("\0\xff\x7a", 3)},
        {REG_BINARY, "abc", "", "!"},
        {REG_NONE, "zz", "", "!"},
    };
    for (const Case& c : cases) {
        std::string reason;
        const auto bytes = EncodeRegData(c.Type, c.Data, c.Separator, reason);
        if (c.Bytes == "!") {
            EXPECT_FALSE(bytes) << c.Data;
            EXPECT_FALSE(reason.empty()) << c.Data;
        } else {
            ASSERT_TRUE(bytes) << c.Data << ": " << reason;
            EXPECT_EQ(*bytes, B(c.Bytes)) << c.Data;
        }
    }
}

TEST(ValueData, FormatsAsQueryShowsIt) {
    struct Case {
        DWORD Type;
        std::string Bytes;
        const char* Text;
    } cases[] = {
        {REG_SZ, std::string("abc\0", 4), "abc"},
        {REG_SZ, "no terminator", "no terminator"},
        {REG_EXPAND_SZ, std::string("%A%\0", 4), "%A%"},
        {REG_MULTI_SZ, std::string("a\0bc\0\0", 6), "a\\0bc"},
        {REG_MULTI_SZ, std::string("\0", 1), ""},
        {REG_DWORD, std::string("\x10\x01\0\0", 4), "0x110"},
        {REG_DWORD_BIG_ENDIAN, std::string("\0\0\x01\x10", 4), "0x110"},
        {REG_QWORD, std::string("\x01\0\0\0\0\0\0\x80", 8), "0x8000000000000001"},
        {REG_DWORD, "\x01\x02\x03", "010203"},
        {REG_BINARY, std::string("\0\xab", 2), "00AB"},
        {0x1234, "\x7f", "7F"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatRegData(c.Type, B(c.Bytes)), c.Text) << c.Text;
    EXPECT_EQ(RegTypeName(REG_DWORD_BIG_ENDIAN), "REG_DWORD_BIG_ENDIAN");
    EXPECT_EQ(RegTypeName(0x1234), "0x1234");
    EXPECT_EQ(RegTypeFromName("reg_qword"), REG_QWORD);
    EXPECT_FALSE(RegTypeFromName("REG_LINK")); // not one add writes
}

TEST(TextCodec, EveryByteStringSurvivesUtf16) {
    const std::string samples[] = {"plain",
                                   "Gr\xC3\xBC\xC3\x9F"
                                   "e \xE2\x82\xAC \xF0\x9F\x98\x80",
                                   "\xFF\xC3(\x80 half \xE2\x82", "\xED\xA0\x80 encoded surrogate"};
    for (const std::string& s : samples)
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s);
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82\xAC"), u"\u20AC");
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80").size(), 2u);
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

TEST(RegFileWriter, WritesTheEditorsLayoutInUtf16) {
    const std::vector<TRegFileKey> keys = {
        {"HKEY_CURRENT_USER\\Software\\T",
         {{"", REG_SZ, B(std::string("C:\\Dir \"q\"\0", 11))},
          {"n", REG_DWORD, B(std::string("\x0a\0\0\x80", 4))},
          {"e", REG_EXPAND_SZ, B(std::string("%A%\0", 4))},
          {"b", REG_BINARY, B("\x01\xff")}}},
        {"HKEY_CURRENT_USER\\Software\\T\\Sub", {}},
    };
    const std::string expected = "Windows Registry Editor Version 5.00\r\n"
                                 "\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\T]\r\n"
                                 "@=\"C:\\\\Dir \\\"q\\\"\"\r\n"
                                 "\"n\"=dword:8000000a\r\n"
                                 "\"e\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                                 "\"b\"=hex:01,ff\r\n"
                                 "\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\T\\Sub]\r\n"
                                 "\r\n";
    EXPECT_EQ(WriteRegFile(keys), Utf16File(expected));
}

TEST(RegFileWriter, WrapsLongHexListsAsTheEditorDoes) {
    const std::string file =
        WriteRegFile({{"HKEY_CURRENT_USER\\W", {{"long", REG_BINARY, TBytes(40, 0xab)}}}});
    const std::string text = Utf16ToUtf8(
        FromUtf16LeBytes(reinterpret_cast<const std::uint8_t*>(file.data()) + 2, file.size() - 2));
    const std::size_t start = text.find("\"long\"");
    const std::size_t firstEnd = text.find("\r\n", start);
    EXPECT_EQ(text.substr(firstEnd - 1, 5), "\\\r\n  ");
    EXPECT_LE(firstEnd - start, 80u);
    const auto parse = ParseRegFile(file);
    ASSERT_TRUE(parse.Error.empty()) << parse.Error;
    ASSERT_EQ(parse.Ops.size(), 2u);
    EXPECT_EQ(parse.Ops[1].Value.Data, TBytes(40, 0xab));
}

// Values that need every form of the format, the awkward ones included.
std::vector<TRegFileKey> EveryKindOfValue() {
    return {
        {"HKEY_LOCAL_MACHINE\\Software\\R",
         {{"", REG_SZ, B(std::string("default\0", 8))},
          {"quote\"back\\slash", REG_SZ, B(std::string("a\"b\\c\0", 7))},
          {"lines", REG_SZ, B(std::string("one\r\ntwo\0", 9))},
          {"empty sz", REG_SZ, {}},
          {"inner nul", REG_SZ, B(std::string("a\0b\0", 4))},
          {"latin1", REG_SZ, B(std::string("caf\xE9\0", 5))},
          {"utf8 \xE2\x82\xAC", REG_SZ, B(std::string("\xE2\x82\xAC\0", 4))},
          {"expand", REG_EXPAND_SZ, B(std::string("%TEMP%\\x\0", 9))},
          {"multi", REG_MULTI_SZ, B(std::string("a\0\xC3\xA9\0\0", 6))},
          {"dword", REG_DWORD, B("\x78\x56\x34\x12")},
          {"short dword", REG_DWORD, B("\x01\x02")},
          {"big", REG_DWORD_BIG_ENDIAN, B("\x12\x34\x56\x78")},
          {"qword", REG_QWORD, B(std::string("\x01\0\0\0\0\0\0\x80", 8))},
          {"binary", REG_BINARY, TBytes(100, 0x5a)},
          {"none", REG_NONE, {}},
          {"odd type", 0x12345, B("\x01")}}},
        {"HKEY_LOCAL_MACHINE\\Software\\R\\Sub Key", {{"x", REG_SZ, B(std::string("y\0", 2))}}},
    };
}

TEST(RegFileReader, ReadsBackEverythingTheWriterWrites) {
    const auto keys = EveryKindOfValue();
    const TRegFileParse parse = ParseRegFile(WriteRegFile(keys));
    ASSERT_TRUE(parse.IsRegFile);
    ASSERT_TRUE(parse.Error.empty()) << parse.ErrorLine << ": " << parse.Error;
    std::vector<TRegFileKey> read;
    for (const TRegOp& op : parse.Ops) {
        if (op.Kind == TRegOpKind::CreateKey)
            read.push_back({op.Key.Full(), {}});
        else if (op.Kind == TRegOpKind::SetValue)
            read.back().Values.push_back(op.Value);
        else
            ADD_FAILURE() << "unexpected operation at line " << op.Line;
    }
    ASSERT_EQ(read.size(), keys.size());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        EXPECT_EQ(read[k].Name, keys[k].Name);
        ASSERT_EQ(read[k].Values.size(), keys[k].Values.size());
        for (std::size_t v = 0; v < keys[k].Values.size(); ++v) {
            const TRegFileValue &want = keys[k].Values[v], &got = read[k].Values[v];
            EXPECT_EQ(got.Name, want.Name);
            EXPECT_EQ(got.Type, want.Type) << want.Name;
            EXPECT_EQ(got.Data, want.Data) << want.Name;
        }
    }
}

TEST(RegFileReader, ReadsTheFormsOfBothVersions) {
    const std::string body = "[HKEY_CURRENT_USER\\A]\r\n"
                             "; a comment\r\n"
                             "@=\"d\"\r\n"
                             "\"s\" = \"x\\\\y\"  ; trailing comment\r\n"
                             "\"n\"=dword:ff\r\n"
                             "\"e\"=hex(2):41,00,42,00,00,00\r\n"
                             "\"h\"=hex:01,\\\r\n"
                             "    02 , 3\r\n"
                             "\"gone\"=-\r\n"
                             "[-HKCU\\B]\r\n"
                             "\"ignored\"=\"under a deleted key\"\r\n";
    const auto v5 = ParseRegFile(Utf16File("Windows Registry Editor Version 5.00\r\n\r\n" + body));
    ASSERT_TRUE(v5.Error.empty()) << v5.ErrorLine << ": " << v5.Error;
    ASSERT_EQ(v5.Ops.size(), 8u);
    EXPECT_EQ(v5.Ops[0].Kind, TRegOpKind::CreateKey);
    EXPECT_EQ(v5.Ops[1].Value.Name, "");
    EXPECT_EQ(v5.Ops[2].Value.Data, B(std::string("x\\y\0", 4)));
    EXPECT_EQ(v5.Ops[3].Value.Data, B(std::string("\xff\0\0\0", 4)));
    EXPECT_EQ(v5.Ops[4].Value.Type, REG_EXPAND_SZ);
    EXPECT_EQ(v5.Ops[4].Value.Data, B(std::string("AB\0", 3)));
    EXPECT_EQ(v5.Ops[5].Value.Data, B("\x01\x02\x03"));
    EXPECT_EQ(v5.Ops[5].Line, 9);
    EXPECT_EQ(v5.Ops[6].Kind, TRegOpKind::DeleteValue);
    EXPECT_EQ(v5.Ops[6].Value.Name, "gone");
    EXPECT_EQ(v5.Ops[7].Kind, TRegOpKind::DeleteKey);
    EXPECT_EQ(v5.Ops[7].Key.Full(), "HKEY_CURRENT_USER\\B");

    // REGEDIT4 is 8-bit throughout: hex(2) holds the bytes of the string itself.
    const auto v4 = ParseRegFile("REGEDIT4\n\n" + body);
    ASSERT_TRUE(v4.Error.empty()) << v4.Error;
    ASSERT_EQ(v4.Ops.size(), 8u);
    EXPECT_EQ(v4.Ops[4].Value.Data, B(std::string("A\0B\0\0\0", 6)));
}

TEST(RegFileReader, RejectsBadLinesWithTheirNumber) {
    struct Case {
        const char* Line;
        int ErrorLine;
    } cases[] = {
        {"\"n\"=dword:123456789", 4}, {"\"n\"=dword:xyz", 4}, {"\"s\"=\"open", 4}, {"\"open=\"x\"", 4},
        {"\"s\" \"x\"", 4},           {"\"s\"=\"x\" y", 4},   {"\"h\"=hex:1g", 4}, {"\"h\"=hex(z):00", 4},
        {"\"h\"=hex:00,\\", 4},       {"\"v\"=word:1", 4},    {"just text", 4},    {"[HKXX\\bad]", 4},
        {"[HKCU\\unclosed", 4},
    };
    for (const Case& c : cases) {
        const auto parse = ParseRegFile(std::string("REGEDIT4\n\n[HKCU\\A]\n") + c.Line + "\n\"ok\"=\"1\"\n");
        EXPECT_TRUE(parse.IsRegFile);
        EXPECT_FALSE(parse.Error.empty()) << c.Line;
        EXPECT_EQ(parse.ErrorLine, c.ErrorLine) << c.Line;
        EXPECT_TRUE(parse.Ops.empty()) << c.Line; // nothing is applied from a file with a bad line
    }
    for (const char* notRegistry :
         {"", "[HKCU\\A]\n", "Windows Registry Editor Version 4.00\n", "\x01\x02 binary"})
        EXPECT_FALSE(ParseRegFile(notRegistry).IsRegFile);
}

TEST(RegFileReader, SurvivesArbitraryText) {
    // Fragments of the format in random order find the reader's out-of-range and unterminated cases.
    const char* pieces[] = {"[",    "]",  "[-", "HKCU", "\\", "@",      "\"",  "=", "-",
                            "hex",  "(",  ")",  ":",    ",",  "dword:", "ff",  "7", ";",
                            "\r\n", "\n", " ",  "\\\n", "x",  "\xC3",   "\xFF"};
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string text = round % 2 ? "REGEDIT4\n" : "Windows Registry Editor Version 5.00\n";
        const int count = static_cast<int>(random() % 40);
        for (int i = 0; i < count; ++i)
            text += pieces[random() % std::size(pieces)];
        const TRegFileParse parse = ParseRegFile(round % 3 ? text : Utf16File(text));
        ASSERT_TRUE(parse.IsRegFile);
        if (!parse.Error.empty()) {
            EXPECT_TRUE(parse.Ops.empty());
        }
    }
}

} // namespace
