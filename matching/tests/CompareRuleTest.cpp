// The methods, the prefixes and the boolean rule language, on small hand-picked cases.
#include "matching/tests/MatchTesting.h"

#include <string>
#include <vector>

namespace {

struct TCase {
    const char* Text;
    const char* Rule;
    bool Expected;
};

TEST(CompareRule, ExamplesOnOneTweakTitle) {
    const std::string Title = "Enable the Proxy server";
    const struct {
        const char* Rule;
        bool Expected;
    } Cases[] = {
        {"proxy", true},
        {"", false},
        {"<wc>enable*server", true},
        {"<wc>proxy", false},
        {"<wc>*prox?*", true},
        {"<bool>proxy AND NOT ftp", true},
        {"<bool>ftp proxy", true},
        {"<bool>ftp OR proxy AND dns", false},
        {"<bool>dns AND ftp OR proxy", true},
        {"<bool>and proxy", true},
        {"<bm>proxy", true},
        {"<WC>*", false},
        {"<bool>\"the proxy\"", true},
        {"<bool>\"the  proxy\"", false},
        {"<substr>PROXY S", true},
        {"<regexpr>^enable.*SERVER$", true},
        {"<pcre>pro(x|z)y\\s", true},
        {"<pcre>^proxy", false},
    };
    for (const auto& C : Cases)
        ExpectRuleGives(Title, C.Rule, true, scmSubString, C.Expected);
}

TEST(CompareRule, EmptyTextsAndPatternsPerMethod) {
    const TCase Cases[] = {
        {"", "x", false},
        {"x", "", false},
        {"", "<substr>", false},
        {"abc", "<bool>", false},
        {"", "<wc>", true},
        {"a", "<wc>", false},
        {"", "<bm>", true},
        {"abc", "<bm>", true},
        {"", "<bm>a", false},
        {"", "<wc>*", true},
        {"anything", "<wc>*", true},
        {"", "<wc>**", false},
        {"a", "<wc>**", false},
        {"", "<wc>***", false},
        {"a", "<wc>***", true},
        {"a", "<wc>a*", true},
        {"a", "<wc>a**", false},
        {"ab", "<wc>a**", true},
        {"abc", "<wc>???", true},
        {"ab", "<wc>???", false},
        {"abcd", "<wc>???", false},
        {"a", "<wc>*?", true},
        {"", "<wc>*?", false},
        {"ab", "<wc>a*?", true},
        {"a", "<wc>a*?", false},
        {"xay", "<wc>*a*", true},
        {"x*y", "<wc>*x\\*y*", false},
    };
    for (const TCase& C : Cases)
        ExpectRuleGives(C.Text, C.Rule, true, scmSubString, C.Expected);
}

TEST(CompareRule, PrefixesAreExactLeadingBytes) {
    struct {
        const char* Rule;
        TStringCompareMethod Method;
        const char* Rest;
    } const Cases[] = {
        {"<wc> a*", scmWildcard, " a*"},
        {"<substr><wc>x", scmSubString, "<wc>x"},
        {"<bool><wc>x", scmBoolean, "<wc>x"},
        {"<regexpr>a+", scmRegExpr, "a+"},
        {"<pcre>", scmPcre, ""},
        {"<bm>abc", scmBoyerMoore, "abc"},
        {"<WC>*", scmExact, "<WC>*"},
        {" <wc>x", scmExact, " <wc>x"},
        {"<wc", scmExact, "<wc"},
        {"x<bm>", scmExact, "x<bm>"},
    };
    for (const auto& C : Cases) {
        std::string Rule = C.Rule;
        TStringCompareMethod Method = scmExact;
        ExtractCompareMethod(Rule, Method);
        EXPECT_EQ(Method, C.Method) << C.Rule;
        EXPECT_EQ(Rule, C.Rest) << C.Rule;
        const TPreparedCompareRule Prepared(C.Rule, true, scmExact);
        EXPECT_EQ(Prepared.Method(), C.Method) << C.Rule;
        EXPECT_EQ(Prepared.Pattern(), C.Rest) << C.Rule;
    }
    // A leading blank after the prefix belongs to the pattern.
    ExpectRuleGives("ab", "<wc> a*", true, scmSubString, false);
    ExpectRuleGives(" ab", "<wc> a*", true, scmSubString, true);
    // The term of "<bool><wc>x" is the text "<wc>x" itself.
    ExpectRuleGives("x", "<bool><wc>x", true, scmSubString, false);
    ExpectRuleGives("a <WC>X", "<bool><wc>x", true, scmSubString, true);
}

TEST(CompareRule, DefaultMethodAndCase) {
    struct {
        const char* Text;
        const char* Rule;
        bool IgnoreCase;
        int Method;
        bool Expected;
    } const Cases[] = {
        {"Proxy", "proxy", true, scmExact, true},
        {"Proxy", "proxy", false, scmExact, false},
        {"Proxy", "Proxy", false, scmExact, true},
        {"", "", false, scmExact, true},
        {"Proxys", "proxy", true, scmExact, false},
        {"the Proxy", "proxy", false, scmSubString, false},
        {"the Proxy", "Proxy", false, scmBoyerMoore, true},
        {"the Proxy", "proxy", false, scmBoyerMoore, false},
        {"the Proxy", "*PROXY", true, scmWildcard, true},
        {"the Proxy", "*proxy", false, scmWildcard, false},
        {"\xC4pfel", "\xE4PFEL", true, scmExact, false}, // only a..z fold
        {"[a]", "{A}", true, scmSubString, false},       // "[" and "{" are not one letter
        {"a", "a", true, static_cast<TStringCompareMethod>(7), false},
        {"a", "a", true, static_cast<TStringCompareMethod>(-1), false},
    };
    for (const auto& C : Cases)
        ExpectRuleGives(C.Text, C.Rule, C.IgnoreCase, static_cast<TStringCompareMethod>(C.Method),
                        C.Expected);
    EXPECT_FALSE(MatchByMethod("a", "a", static_cast<TStringCompareMethod>(99), false));
}

// "a|+b|&!c" lists the items: "|" joins with OR, "&" with AND, "!" negates.
std::string Describe(const TCompareRule& Rule) {
    std::string Out;
    for (int I = 0; I < Rule.Count(); ++I) {
        const TCompareRuleItem& Item = *Rule.Items(I);
        if (I > 0)
            Out += '|';
        Out += Item.Operation == croAnd ? '&' : '+';
        if (Item.Negated)
            Out += '!';
        Out += Item.Text;
    }
    return Out;
}

TEST(CompareRule, ParsesBooleanRules) {
    struct {
        const char* Rule;
        const char* Items;
    } const Cases[] = {
        {"a AND OR b", "+a|&b"},
        {"a OR AND b", "+a|+b"},
        {"a NOT AND b", "+a|&b"},
        {"NOT NOT a", "+!a"},
        {"not a and not b", "+!a|&!b"},
        {"a NOT", "+a"},
        {"a NOT NOT", "+a|+NOT"},
        {"OR", ""},
        {"NOT", ""},
        {"   ", ""},
        {"\"\"", ""},
        {"a OR AND", "+a|+OR"},
        {"AND a", "+AND|+a"},
        {"OR a AND", "+OR|+a"},
        {"a AND", "+a"},
        {"a OR", "+a"},
        {"a \"AND\" b", "+a|&b"},
        {"ab\"c d\"e", "+abc d|+e"},
        {"a\tb c", "+a\tb|+c"},
        {"\"open quote runs on", "+open quote runs on"},
        {"a\"\"b", "+a|+b"},
        {"a  b", "+a|+b"},
        {"a AND b OR NOT c", "+a|&b|+!c"},
        {"NOT AND a", "+!AND|+a"},
    };
    for (const auto& C : Cases) {
        TCompareRule Rule;
        Rule.SetRule(C.Rule);
        EXPECT_EQ(Describe(Rule), C.Items) << C.Rule;
    }
}

TEST(CompareRule, BooleanKeywordsIgnoreCaseWhileTermsKeepIt) {
    const TCase Cases[] = {
        {"Proxy server", "<bool>Proxy and Server", false},
        {"Proxy server", "<bool>Proxy aNd server", true},
        {"Proxy server", "<bool>proxy or server", true},
        {"Proxy server", "<bool>proxy OR ftp", false},
        {"Proxy server", "<bool>not ftp", true},
        {"Proxy server", "<bool>NOT Proxy", false},
        {"a\tb", "<bool>a\tb", true},
        {"a b", "<bool>a\tb", false},
    };
    for (const TCase& C : Cases)
        ExpectRuleGives(C.Text, C.Rule, false, scmSubString, C.Expected);
}

TEST(CompareRule, RuleObjectOwnsItsItems) {
    TCompareRule Rule;
    Rule.SetRule("a b c");
    ASSERT_EQ(Rule.Count(), 3);
    Rule.Delete(1);
    EXPECT_EQ(Describe(Rule), "+a|+c");
    auto Item = std::make_unique<TCompareRuleItem>();
    EXPECT_FALSE(Item->Negated);
    EXPECT_EQ(Item->Operation, croOr);
    Item->Text = "d";
    Item->Operation = croAnd;
    EXPECT_EQ(Rule.Add(std::move(Item))->Text, "d");
    EXPECT_EQ(Describe(Rule), "+a|+c|&d");
    EXPECT_FALSE(Rule.Matches("a c"));
    EXPECT_TRUE(Rule.Matches("c d"));
    Rule.SetRule("x");
    EXPECT_EQ(Describe(Rule), "+x");
    EXPECT_FALSE(TCompareRule().Matches("x"));
}

class DoubleByteCodePage : public ::testing::Test {
protected:
    void SetUp() override { SetDoubleByteLeadBytes("\x81\x82"); }
    void TearDown() override { SetDoubleByteLeadBytes(""); }
};

TEST_F(DoubleByteCodePage, SubstringCountsOnlyOccurrencesOnCharacterStarts) {
    const TCase Cases[] = {
        {"\x81"
         "BC",
         "BC", false}, // "B" is the second byte of a double-byte character
        {"\x81"
         "BBC",
         "BC", true}, // found again after the first, on a start
        {"\x81"
         "Bx"
         "B",
         "b", true}, // the first "B" is skipped, the last counts
        {"\x81\x81"
         "B",
         "B", true}, // "\x81\x81" is one character, so "B" begins one
        {"\x81\x81"
         "B",
         "\x81"
         "B",
         false},
        {"\x82", "\x82", true}, // a lone lead byte at the end
    };
    for (const TCase& C : Cases)
        ExpectRuleGives(C.Text, C.Rule, true, scmSubString, C.Expected);
    // Only the substring method follows characters; the others compare bytes.
    ExpectRuleGives("\x81"
                    "BC",
                    "<bm>BC", true, scmSubString, true);
    ExpectRuleGives("\x81"
                    "BC",
                    "<wc>*BC*", true, scmSubString, true);
}

} // namespace
