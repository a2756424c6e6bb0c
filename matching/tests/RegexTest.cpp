// "<regexpr>" and "<pcre>": their options, their errors and their limits.
#include "matching/tests/MatchTesting.h"

#include <string>

namespace {

struct TCase {
    const char* Text;
    const char* Rule;
    bool IgnoreCase;
    bool Expected;
};

TEST(RegexMethods, OptionsOfEachEngine) {
    const TCase Cases[] = {
        {"a\nb", "<regexpr>a.b", true, true},     // dot takes line breaks
        {"a\nb", "<pcre>a.b", true, false},       // not under the PCRE defaults
        {"a\rb", "<pcre>a.b", true, false},       // any line break ends a line
        {"abc\n", "<regexpr>abc$", true, false},  // "$" only at the very end
        {"abc\n", "<pcre>abc$", true, true},      // before a final line break
        {"x\nabc", "<regexpr>^abc", true, false}, // no multi-line mode
        {"abc", "<regexpr>x*", true, true},       // an empty match counts
        {"abc", "<pcre>x*", true, false},         // but not for PCRE
        {"abx", "<pcre>x*", true, true},          // a later non-empty match does
        {"ABC", "<regexpr>abc", true, true},
        {"ABC", "<regexpr>abc", false, false},
        {"ABC", "<pcre>abc", true, true},
        {"ABC", "<pcre>abc", false, false},
        {"a b", "<regexpr>a b", true, true}, // white space is literal
        {"ab", "<regexpr>a b", true, false},
        {"aaa", "<regexpr>^a+?$", true, true},     // lazy quantifiers
        {"<a><b>", "<regexpr>^<.*>$", true, true}, // greedy ones
        {"k\\Software", "<pcre>\\\\soft", true, true},
        {"t\xE9l\xE9", "<pcre>T\xC9L\xC9", true, false}, // case folds in ASCII only
    };
    for (const TCase& C : Cases)
        ExpectRuleGives(C.Text, C.Rule, C.IgnoreCase, scmSubString, C.Expected);
    ExpectRuleGives(std::string("a\0b", 3), "<pcre>a\\x00b", true, scmSubString, true);
    ExpectRuleGives(std::string("a\0b", 3), std::string("<regexpr>a\0b", 12), true, scmSubString, true);
}

TEST(RegexMethods, BadPatternsRaiseWithOffsetAndEngineText) {
    struct {
        const char* Rule;
        const char* Message;
        std::size_t Offset;
    } const Cases[] = {
        {"<pcre>", "PCRE error at offset 0: the pattern is empty", 0},
        {"<regexpr>", "Regular expression error at offset 0: the pattern is empty", 0},
        {"<pcre>ab(c", "PCRE error at offset 4: missing closing parenthesis", 4},
        {"<regexpr>[ab", "Regular expression error at offset 3: missing terminating ] for character class",
         3},
        {"<pcre>a**", "PCRE error at offset 2: quantifier does not follow a repeatable item", 2},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Rule);
        try {
            MatchesCompareRule("text", C.Rule, true, scmSubString);
            ADD_FAILURE() << "no error";
        } catch (const ECompareRuleError& E) {
            EXPECT_STREQ(E.what(), C.Message);
            EXPECT_EQ(E.Offset(), C.Offset);
        }
        // A prepared rule is built without complaint and raises on every text it is asked about.
        const TPreparedCompareRule Prepared(C.Rule, true, scmSubString);
        EXPECT_THROW(Prepared.Matches("text"), ECompareRuleError);
        EXPECT_THROW(Prepared.Matches(""), ECompareRuleError);
        EXPECT_THROW(MatchByMethod("", Prepared.Pattern(), Prepared.Method(), false), std::runtime_error);
    }
}

TEST(RegexMethods, RunawayBacktrackingEndsAsNoMatch) {
    const std::string Text = std::string(40, 'a') + "b";
    for (const char* Rule : {"<pcre>(a+)+$", "<regexpr>(a+)+$", "<regexpr>(a|aa)+c", "<pcre>(.*a){20}x"})
        ExpectRuleGives(Text, Rule, true, scmSubString, false);
    // The same kind of pattern still finds what it can find.
    ExpectRuleGives(std::string(40, 'a'), "<pcre>(a+)+$", true, scmSubString, true);
}

TEST(RegexMethods, MatchWithMoreGroupsThanTheOutputVectorIsAMatch) {
    std::string Pattern = "<pcre>";
    for (int I = 0; I < 150; ++I)
        Pattern += "(a)";
    ExpectRuleGives(std::string(150, 'a'), Pattern, false, scmSubString, true);
    ExpectRuleGives(std::string(149, 'a'), Pattern, false, scmSubString, false);
}

} // namespace
