// Many texts searched at once must give what Matches gives text by text: no occurrence across the
// end of a text, none lost after an occurrence that ran past one, every method and case. Regular
// expressions of plain text are searched as substrings and must still answer as the engine does.
#include "matching/vxStringCompare.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

struct TLayout {
    std::string Buffer;
    std::vector<std::uint32_t> Ends;
    std::vector<std::string> Texts;
};

TLayout Lay(const std::vector<std::string>& Texts) {
    TLayout L;
    L.Texts = Texts;
    for (const std::string& T : Texts) {
        L.Buffer += T;
        L.Ends.push_back(static_cast<std::uint32_t>(L.Buffer.size()));
    }
    return L;
}

// Hit per group, text by text.
std::vector<unsigned char> OneByOne(const TPreparedCompareRule& Rule, const TLayout& L, std::size_t Group) {
    std::vector<unsigned char> Hit((L.Texts.size() + Group - 1) / Group, 0);
    for (std::size_t I = 0; I < L.Texts.size(); ++I)
        Hit[I / Group] |= Rule.Matches(L.Texts[I]) ? 1 : 0;
    return Hit;
}

std::vector<unsigned char> AtOnce(const TPreparedCompareRule& Rule, const TLayout& L, std::size_t Group) {
    std::vector<unsigned char> Hit((L.Texts.size() + Group - 1) / Group, 0);
    Rule.MatchGroups(L.Buffer, L.Ends, Group, Hit);
    return Hit;
}

TEST(MatchGroups, AgreesWithMatchesTextByText) {
    std::mt19937 Random(11);
    const std::string Alphabet = "abAB";
    auto Word = [&](std::size_t Max) {
        std::string S(std::uniform_int_distribution<std::size_t>(0, Max)(Random), ' ');
        for (char& C : S)
            C = Alphabet[Random() % Alphabet.size()];
        return S;
    };
    const char* const Prefixes[] = {"", "<substr>", "<bm>", "<bool>", "<pcre>", "<regexpr>"};
    for (int Round = 0; Round < 3000; ++Round) {
        std::vector<std::string> Texts(1 + Random() % 12);
        for (std::string& T : Texts)
            T = Word(5);
        const TLayout L = Lay(Texts);
        const std::size_t Group = 1 + Random() % 4;
        const std::string Needle = Word(3);
        std::string Boolean = "<bool>";
        for (int Term = static_cast<int>(Random() % 4); Term >= 0; --Term) {
            const char* const Joins[] = {"", "AND ", "OR ", "NOT ", "AND NOT ", "OR NOT "};
            Boolean += std::string(Joins[Random() % std::size(Joins)]) + Word(2) + "b ";
        }
        const std::string Rules[] = {std::string(Prefixes[Random() % std::size(Prefixes)]) + Needle,
                                     "<wc>*" + Needle + "*", "<wc>" + Needle + "*", Boolean};
        for (const std::string& R : Rules)
            for (const bool IgnoreCase : {true, false}) {
                const TPreparedCompareRule Rule(R, IgnoreCase, scmSubString);
                if (Rule.Pattern().empty() && (Rule.Method() == scmPcre || Rule.Method() == scmRegExpr)) {
                    std::vector<unsigned char> Hit(L.Texts.size());
                    EXPECT_THROW(Rule.MatchGroups(L.Buffer, L.Ends, 1, Hit), ECompareRuleError);
                    continue;
                }
                ASSERT_EQ(AtOnce(Rule, L, Group), OneByOne(Rule, L, Group)) << R << " group " << Group;
            }
    }
}

TEST(MatchGroups, TextBoundariesAndLongNeedles) {
    const std::string Long(80, 'a');
    struct TCase {
        std::vector<std::string> Texts;
        std::string Rule;
        std::size_t Group;
    };
    const TCase Cases[] = {
        {{"xpro", "xy", "proxy"}, "proxy", 1},         // across one end, then found later
        {{"xpro", "xy", "proxy"}, "proxy", 3},         // one group
        {{"", "", "PROXY", ""}, "proxy", 2},           // empty texts around the hit
        {{"ab", "", "ab"}, "<wc>*ba*", 1},             // across an empty text
        {{Long.substr(1), Long, "b" + Long}, Long, 1}, // the linear walk for long needles
        {{Long.substr(40), Long.substr(40), Long + "b"}, Long + "b", 2},
    };
    for (const TCase& C : Cases) {
        const TLayout L = Lay(C.Texts);
        const TPreparedCompareRule Rule(C.Rule, true, scmSubString);
        EXPECT_EQ(AtOnce(Rule, L, C.Group), OneByOne(Rule, L, C.Group)) << C.Rule;
    }
}

TEST(PlainTextRegex, AgreesWithTheEngine) {
    std::mt19937 Random(2024);
    const std::string PatternBytes = "aAbB 1_-#}]\xE9.(";
    const std::string TextBytes = std::string("aAbB 1_-#}]\xE9\xC9\n", 14) + std::string(1, '\0');
    auto Pick = [&](const std::string& From, std::size_t Max) {
        std::string S(std::uniform_int_distribution<std::size_t>(0, Max)(Random), ' ');
        for (char& C : S)
            C = From[Random() % From.size()];
        return S;
    };
    int Matched = 0;
    for (int I = 0; I < 20000; ++I) {
        const std::string Rule = (Random() % 2 ? "<pcre>" : "<regexpr>") + Pick(PatternBytes, 3);
        const std::string Text = Pick(TextBytes, 10);
        const bool IgnoreCase = Random() % 2;
        bool Expected = false;
        try {
            Expected = MatchesCompareRule(Text, Rule, IgnoreCase, scmSubString);
        } catch (const ECompareRuleError&) {
            EXPECT_THROW(TPreparedCompareRule(Rule, IgnoreCase, scmSubString).Matches(Text),
                         ECompareRuleError);
            continue;
        }
        ASSERT_EQ(TPreparedCompareRule(Rule, IgnoreCase, scmSubString).Matches(Text), Expected)
            << "text \"" << Text << "\", rule \"" << Rule << "\", ignore case " << IgnoreCase;
        Matched += Expected;
    }
    EXPECT_GT(Matched, 1000);
}

TEST(MatchGroups, DoubleByteTextsCountOnlyOccurrencesOnCharacterStarts) {
    SetDoubleByteLeadBytes("\x81");
    // "\x81" "a" is one character: the "a" in it is no occurrence.
    const TLayout L = Lay({"\x81"
                           "a",
                           "x",
                           "b"
                           "\x81"
                           "a"
                           "a"});
    const TPreparedCompareRule Rule("a", true, scmSubString);
    EXPECT_EQ(AtOnce(Rule, L, 1), (std::vector<unsigned char>{0, 0, 1}));
    EXPECT_EQ(AtOnce(Rule, L, 1), OneByOne(Rule, L, 1));
    SetDoubleByteLeadBytes("");
}

} // namespace
