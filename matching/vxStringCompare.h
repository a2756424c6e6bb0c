#pragma once
// The compare-rule matcher behind the search box: does a text satisfy a rule the user typed?
// A rule is a pattern, optionally preceded by a method prefix ("<wc>", "<substr>", "<bool>",
// "<regexpr>", "<pcre>", "<bm>"); without one the caller's default method applies.
//
// Texts, rules and patterns are 8-bit strings (the system code page). Folding case means ASCII
// upper-casing only: "a".."z" become "A".."Z", every other byte stays as it is.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The numeric values are part of the interface: callers pass their default method by value.
enum TStringCompareMethod : int {
    scmSubString = 0,  // "<substr>"  the pattern occurs in the text
    scmWildcard = 1,   // "<wc>"      the whole text matches literal characters, "*" and "?"
    scmBoolean = 2,    // "<bool>"    terms joined by AND, OR and NOT
    scmRegExpr = 3,    // "<regexpr>" a Perl-style regular expression finds a match
    scmPcre = 4,       // "<pcre>"    a PCRE regular expression finds a match
    scmBoyerMoore = 5, // "<bm>"      the pattern occurs, found by Boyer-Moore-Horspool
    scmExact = 6,      // (no prefix) the text equals the pattern
};

// Raised by the two regular-expression methods for a pattern that is empty or does not compile.
// The message names the offset in the pattern and the engine's own error text.
class ECompareRuleError : public std::runtime_error {
public:
    // Offset of the error in the pattern (0 for an empty pattern).
    ECompareRuleError(const std::string& Message, std::size_t Offset);
    std::size_t Offset() const noexcept { return FOffset; }

private:
    std::size_t FOffset;
};

// How a term of a boolean rule joins the result of the terms before it.
enum TCompareRuleOperator : int {
    croAnd = 0, // "AND"
    croOr = 1,  // "OR"
};

// One term of a boolean rule.
struct TCompareRuleItem {
    std::string Text; // never empty
    bool Negated = false;
    TCompareRuleOperator Operation = croOr;
};

// A parsed boolean rule: an ordered list of terms that it owns. Terms join strictly from left to
// right without precedence, so "a OR b AND c" is (a OR b) AND c.
class TCompareRule {
public:
    TCompareRule() = default;
    ~TCompareRule(); // frees the items from the last to the first
    TCompareRule(const TCompareRule&) = delete;
    TCompareRule& operator=(const TCompareRule&) = delete;

    // Appends an item and returns it; the rule owns it.
    TCompareRuleItem* Add(std::unique_ptr<TCompareRuleItem> Item);
    // Frees the item at Index (0 <= Index < Count) and removes it.
    void Delete(int Index);
    TCompareRuleItem* Items(int Index) const { return FItems[static_cast<std::size_t>(Index)].get(); }
    int Count() const { return static_cast<int>(FItems.size()); }

    // Replaces the items by the terms of Rule. Blanks (the space character only) separate terms;
    // double quotes group a run of characters, blanks included, into one term and never become part
    // of it; "AND", "OR" and "NOT" are keywords in any letter case, also when quoted.
    void SetRule(std::string_view Rule);
    // Whether Text satisfies the rule, each term compared byte for byte. No items: false.
    bool Matches(std::string_view Text) const;

private:
    std::vector<std::unique_ptr<TCompareRuleItem>> FItems;
};

// The entry point: the method is DefaultMethod unless Rule begins with a prefix, which is removed.
// Raises ECompareRuleError from the regular-expression methods; a method outside 0..6 gives false.
bool MatchesCompareRule(std::string_view Text, std::string_view Rule, bool IgnoreCase,
                        TStringCompareMethod DefaultMethod);

// When Rule begins with a method prefix (compared byte for byte, so "<WC>" is none), sets Method and
// removes exactly that prefix from Rule; otherwise changes neither. Only one prefix is removed.
void ExtractCompareMethod(std::string& Rule, TStringCompareMethod& Method);

// Calls the method function that Method names; a value outside 0..6 gives false.
bool MatchByMethod(std::string_view Text, std::string_view Pattern, TStringCompareMethod Method,
                   bool IgnoreCase);

// The method functions. Case is folded on both strings when IgnoreCase is true, except for the two
// regular-expression methods, which hand the engine its caseless option instead.
bool MatchSubString(std::string_view Text, std::string_view Pattern, bool IgnoreCase); // empty: false
bool MatchWildcard(std::string_view Text, std::string_view Pattern, bool IgnoreCase);
bool MatchBoolean(std::string_view Text, std::string_view Pattern, bool IgnoreCase);
// For both regular-expression methods, a search that runs into the engine's match, depth or heap
// limit (runaway backtracking) counts as no match, as every match-time error does.
// Dot matches line breaks, "^" and "$" anchor at the ends of the whole text, white space is literal.
bool MatchRegExpr(std::string_view Text, std::string_view Pattern, bool IgnoreCase);
// Newline convention ANY; an empty match does not count.
bool MatchPcre(std::string_view Text, std::string_view Pattern, bool IgnoreCase);
bool MatchBoyerMoore(std::string_view Text, std::string_view Pattern, bool IgnoreCase); // empty: true
bool MatchExact(std::string_view Text, std::string_view Pattern, bool IgnoreCase);

// Whole-text wildcard match of two zero-terminated strings: "*" takes any run of characters, "?"
// exactly one, there is no escape. At the end of the text only an empty rest of pattern or a rest
// of exactly "*" matches, so "a**" does not match "a". Time grows polynomially, never exponentially.
bool WildcardMatch(const char* Text, const char* Pattern);

// A rule prepared once for testing many texts: the prefix is parsed, the pattern folded, the
// boolean rule parsed and the regular expression compiled when the object is built. Matches(Text)
// gives exactly the result of MatchesCompareRule(Text, Rule, IgnoreCase, DefaultMethod), and raises
// its error: a regular expression that is empty or does not compile makes every Matches call raise
// ECompareRuleError, while building the object never raises, so an error appears only once a text
// is tested, as with the one-shot call. Texts are folded on the fly, without copies.
// One object is for one thread at a time.
class TPreparedCompareRule {
public:
    TPreparedCompareRule(std::string_view Rule, bool IgnoreCase, TStringCompareMethod DefaultMethod);
    ~TPreparedCompareRule();
    TPreparedCompareRule(TPreparedCompareRule&&) noexcept;
    TPreparedCompareRule& operator=(TPreparedCompareRule&&) noexcept;

    bool Matches(std::string_view Text) const;

    // Many texts at once, laid out one after another in Buffer: text I ends at Ends[I] and begins
    // where text I - 1 ends (text 0 at 0). Sets Hit[I / Group] to 1 for every text I that Matches
    // and leaves the other entries alone; the rest of a group that has a hit is not tested. Raises as
    // Matches does. The substring searches scan the whole buffer in one pass.
    void MatchGroups(std::string_view Buffer, std::span<const std::uint32_t> Ends, std::size_t Group,
                     std::span<unsigned char> Hit) const;

    // The method chosen and the pattern left after the prefix was removed (unfolded).
    TStringCompareMethod Method() const;
    const std::string& Pattern() const;

private:
    struct TImpl;
    std::unique_ptr<TImpl> FImpl;
};

// The lead bytes of the system's double-byte code page, if it is one. A substring occurrence that
// begins on the second byte of a double-byte character does not count. Off Windows, and on
// single-byte code pages, there are none; tests may set their own and reset them with "".
void SetDoubleByteLeadBytes(std::string_view LeadBytes);
