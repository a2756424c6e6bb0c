// The fast paths against plain statements of the same rules, over many generated cases, and
// input that no user would type.
#include "matching/tests/MatchTesting.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <string>

namespace {

// The wildcard rule written the direct, exponential way.
bool RecursiveWildcard(const char* T, const char* P) {
    if (std::strcmp(P, "*") == 0)
        return true;
    if (*T == '\0')
        return *P == '\0';
    if (*P == '*')
        return RecursiveWildcard(T, P + 1) || RecursiveWildcard(T + 1, P);
    if (*P == '?')
        return RecursiveWildcard(T + 1, P + 1);
    return *P == *T && RecursiveWildcard(T + 1, P + 1);
}

std::string RandomString(std::mt19937& Random, std::string_view Alphabet, std::size_t MaxLength) {
    std::string S(std::uniform_int_distribution<std::size_t>(0, MaxLength)(Random), ' ');
    std::uniform_int_distribution<std::size_t> Pick(0, Alphabet.size() - 1);
    for (char& C : S)
        C = Alphabet[Pick(Random)];
    return S;
}

// Every string over Alphabet of length 0..MaxLength.
std::vector<std::string> AllStrings(std::string_view Alphabet, std::size_t MaxLength) {
    std::vector<std::string> All{""};
    for (std::size_t From = 0; From < All.size(); ++From)
        if (All[From].size() < MaxLength)
            for (const char C : Alphabet)
                All.push_back(All[From] + C);
    return All;
}

TEST(Wildcard, AgreesWithTheRecursiveRuleOnEverySmallCase) {
    const auto Texts = AllStrings("ab", 5);
    for (const std::string& P : AllStrings("ab*?", 5))
        for (const std::string& T : Texts)
            ASSERT_EQ(WildcardMatch(T.c_str(), P.c_str()), RecursiveWildcard(T.c_str(), P.c_str()))
                << "text \"" << T << "\", pattern \"" << P << "\"";
}

TEST(Wildcard, AgreesWithTheRecursiveRuleOnRandomCases) {
    std::mt19937 Random(20260101);
    int Matched = 0;
    for (int I = 0; I < 40000; ++I) {
        const std::string T = RandomString(Random, "abc", 12);
        const std::string P = RandomString(Random, "abc*?*", 8);
        const bool Expected = RecursiveWildcard(T.c_str(), P.c_str());
        ASSERT_EQ(WildcardMatch(T.c_str(), P.c_str()), Expected)
            << "text \"" << T << "\", pattern \"" << P << "\"";
        Matched += Expected;
    }
    EXPECT_GT(Matched, 1000); // the cases must exercise both answers
}

TEST(Wildcard, ManyStarsStayQuick) {
    const std::string Text = std::string(5000, 'a');
    EXPECT_FALSE(WildcardMatch(Text.c_str(), "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(WildcardMatch((Text + "b").c_str(), "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
    EXPECT_FALSE(WildcardMatch(Text.c_str(), "*aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab*"));
    EXPECT_TRUE(WildcardMatch(Text.c_str(), "*a?*a?*?a*a**"));
}

// The prepared rule folds texts on the fly and searches in blocks; the one-shot call folds copies
// and uses the library's search. Over random rules and texts they must never disagree.
TEST(PreparedRule, AgreesWithTheOneShotCall) {
    std::mt19937 Random(4711);
    const char* const Prefixes[] = {"", "<wc>", "<substr>", "<bool>", "<bm>", "<wc>*", "<bool>NOT "};
    const std::string_view PatternBytes = "aAbB \"*?\xE9\xC9{[";
    const std::string_view TextBytes = std::string_view("aAbB \xE9\xC9{[\0", 11);
    const std::string_view Words[] = {"AND", "or", "Not", "\"", "ab", "*", "?"};
    int Matched = 0;
    for (int I = 0; I < 30000; ++I) {
        std::string Rule = Prefixes[Random() % std::size(Prefixes)];
        const int Parts = static_cast<int>(Random() % 4);
        for (int K = 0; K < Parts; ++K) {
            Rule += RandomString(Random, PatternBytes, 4);
            if (Random() % 2)
                Rule += std::string(" ") + std::string(Words[Random() % std::size(Words)]) + " ";
        }
        const std::string Text = RandomString(Random, TextBytes, I % 3 == 0 ? 90 : 12);
        const bool IgnoreCase = Random() % 3 != 0;
        const auto Method = static_cast<TStringCompareMethod>(std::vector{0, 1, 2, 5, 6}[Random() % 5]);
        const bool Expected = MatchesCompareRule(Text, Rule, IgnoreCase, Method);
        ASSERT_EQ(TPreparedCompareRule(Rule, IgnoreCase, Method).Matches(Text), Expected)
            << "text \"" << Text << "\", rule \"" << Rule << "\", ignore case " << IgnoreCase << ", method "
            << Method;
        Matched += Expected;
    }
    EXPECT_GT(Matched, 3000);
    EXPECT_LT(Matched, 27000);
}

std::string Upper(std::string S) {
    for (char& C : S)
        if (C >= 'a' && C <= 'z')
            C = static_cast<char>(C - 'a' + 'A');
    return S;
}

// Short needles take the block search, long ones the linear walk; both against the library's find.
TEST(SubstringSearch, AgreesWithAPlainFind) {
    std::mt19937 Random(31337);
    int Matched = 0;
    for (int I = 0; I < 20000; ++I) {
        const bool Long = Random() % 2;
        std::string P = RandomString(Random, "aAbB", Long ? 40 : 20);
        P += Long ? std::string(64, 'a') : "b";
        std::shuffle(P.begin(), P.end(), Random);
        std::string T = RandomString(Random, "aAbB", 150);
        if (Random() % 2) {
            std::string Copy = P;
            for (char& C : Copy)
                if (Random() % 8 == 0)
                    C = static_cast<char>(C ^ 0x20);
            T.insert(std::uniform_int_distribution<std::size_t>(0, T.size())(Random), Copy);
        }
        const bool IgnoreCase = Random() % 2;
        const bool Expected = (IgnoreCase ? Upper(T).find(Upper(P)) : T.find(P)) != std::string::npos;
        SCOPED_TRACE("text \"" + T + "\", pattern \"" + P + "\"");
        ASSERT_EQ(MatchSubString(T, P, IgnoreCase), Expected);
        ASSERT_EQ(TPreparedCompareRule(P, IgnoreCase, scmSubString).Matches(T), Expected);
        ASSERT_EQ(MatchesCompareRule(T, "<bool>" + P, IgnoreCase, scmSubString), Expected);
        ASSERT_EQ(TPreparedCompareRule("<bool>" + P, IgnoreCase, scmSubString).Matches(T), Expected);
        ASSERT_EQ(TPreparedCompareRule("<wc>*" + P + "*", IgnoreCase, scmSubString).Matches(T), Expected);
        Matched += Expected;
    }
    EXPECT_GT(Matched, 5000);
    EXPECT_LT(Matched, 15000);
}

// A needle that agrees with the text almost everywhere must not cost its length at every place.
TEST(SubstringSearch, LongNeedleInLongText) {
    const std::string Text(1 << 20, 'a');
    const std::string Needle = std::string(100000, 'a') + "b" + std::string(100000, 'a');
    for (const char* Prefix : {"", "<bool>", "<substr>"})
        ExpectRuleGives(Text, Prefix + Needle, true, scmSubString, false);
    ExpectRuleGives(Text, "<wc>*" + Needle + "*", true, scmSubString, false);
    ExpectRuleGives(Text + "B" + Text, Needle, true, scmSubString, true);
}

// Boyer-Moore-Horspool and the plain substring search look for the same thing.
TEST(BoyerMoore, FindsWhatTheSubstringSearchFinds) {
    std::mt19937 Random(99);
    for (int I = 0; I < 20000; ++I) {
        const std::string T = RandomString(Random, "abcAB", 40);
        std::string P = RandomString(Random, "abcA", 5);
        if (P.empty())
            P = "a";
        const bool IgnoreCase = Random() % 2;
        ASSERT_EQ(MatchBoyerMoore(T, P, IgnoreCase), MatchSubString(T, P, IgnoreCase))
            << "text \"" << T << "\", pattern \"" << P << "\"";
    }
}

// Whatever the bytes, both ways give the same answer or the same error.
TEST(BadInput, EveryByteUnderEveryPrefix) {
    std::string AllBytes;
    for (int B = 1; B < 256; ++B)
        AllBytes += static_cast<char>(B);
    const std::string Reversed(AllBytes.rbegin(), AllBytes.rend());
    for (const char* Prefix : {"", "<wc>", "<substr>", "<bool>", "<regexpr>", "<pcre>", "<bm>"})
        for (const std::string& Pattern : {AllBytes, Reversed, std::string(1, '\0'), std::string("\"\xFF\"")})
            for (const std::string& Text : {AllBytes, Reversed, std::string(), std::string(3, '\0')}) {
                const std::string Rule = Prefix + Pattern;
                SCOPED_TRACE(Prefix);
                bool OneShot = false;
                bool OneShotRaised = false;
                try {
                    OneShot = MatchesCompareRule(Text, Rule, true, scmSubString);
                } catch (const ECompareRuleError&) {
                    OneShotRaised = true;
                }
                const TPreparedCompareRule Prepared(Rule, true, scmSubString);
                if (OneShotRaised)
                    EXPECT_THROW(Prepared.Matches(Text), ECompareRuleError);
                else
                    EXPECT_EQ(Prepared.Matches(Text), OneShot);
            }
}

std::string Repeat(std::string_view Part, std::size_t Bytes) {
    std::string S;
    S.reserve(Bytes + Part.size());
    while (S.size() < Bytes)
        S += Part;
    return S;
}

TEST(BadInput, MegabyteRules) {
    constexpr std::size_t MiB = 1 << 20;
    const std::string BoolAnd = "<bool>" + Repeat("x AND ", MiB) + "y";
    ExpectRuleGives("x y", BoolAnd, true, scmSubString, true);
    ExpectRuleGives("x", BoolAnd, true, scmSubString, false);
    const std::string BoolNot = "<bool>" + Repeat("NOT ", MiB) + "a";
    ExpectRuleGives("b", BoolNot, true, scmSubString, true);
    ExpectRuleGives("a", BoolNot, true, scmSubString, false);
    ExpectRuleGives("a", "<bool>\"" + Repeat("a b ", MiB), true, scmSubString, false);

    const std::string Stars = "<wc>" + Repeat("*a", MiB) + "*";
    ExpectRuleGives(std::string(100, 'a'), Stars, true, scmSubString, false);
    ExpectRuleGives("a", "<wc>" + std::string(MiB, '*'), true, scmSubString, true);
    ExpectRuleGives(std::string(MiB, 'a'), "<wc>" + std::string(MiB, '?'), true, scmSubString, true);

    const std::string Long(MiB, 'q');
    ExpectRuleGives(Long, Long, true, scmSubString, true);
    ExpectRuleGives(Long, "<bm>" + Long, true, scmSubString, true);
    ExpectRuleGives(Long.substr(1), "<bm>" + Long, true, scmSubString, false);
    ExpectRuleGives(Long, Long, false, scmExact, true);

    // The engine may refuse a pattern this large; it may not fail in any other way.
    for (const char* Prefix : {"<pcre>", "<regexpr>"})
        try {
            EXPECT_TRUE(MatchesCompareRule(Long, Prefix + Long, true, scmSubString));
        } catch (const ECompareRuleError& E) {
            EXPECT_NE(std::string(E.what()).find("offset"), std::string::npos);
        }
}

} // namespace
