#include "matching/vxStringCompare.h"

#include "matching/vxBlockSearch.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <algorithm>
#include <array>
#include <optional>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if defined(_WIN32)
#define NOMINMAX
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

ECompareRuleError::ECompareRuleError(const std::string& Message, std::size_t Offset)
    : std::runtime_error(Message), FOffset(Offset) {}

namespace {

constexpr std::size_t npos = std::string_view::npos;

constexpr unsigned char Fold(unsigned char C) {
    return (C >= 'a' && C <= 'z') ? static_cast<unsigned char>(C - ('a' - 'A')) : C;
}

std::string FoldCopy(std::string_view S) {
    std::string Result(S);
    for (char& C : Result)
        C = static_cast<char>(Fold(static_cast<unsigned char>(C)));
    return Result;
}

bool IsKeyword(std::string_view Token, std::string_view Keyword) {
    if (Token.size() != Keyword.size())
        return false;
    for (std::size_t I = 0; I < Token.size(); ++I)
        if (Fold(static_cast<unsigned char>(Token[I])) != static_cast<unsigned char>(Keyword[I]))
            return false;
    return true;
}

// ---- Double-byte code pages -------------------------------------------------------------------

struct TLeadBytes {
    std::array<bool, 256> IsLead{};
    bool Any = false;
};

TLeadBytes& LeadBytes() {
    static TLeadBytes Table = [] {
        TLeadBytes T;
#if defined(_WIN32)
        CPINFO Info;
        if (GetCPInfo(CP_ACP, &Info) && Info.MaxCharSize == 2) {
            for (int R = 0; R + 1 < MAX_LEADBYTES && Info.LeadByte[R] != 0; R += 2)
                for (int B = Info.LeadByte[R]; B <= Info.LeadByte[R + 1]; ++B) {
                    T.IsLead[static_cast<std::size_t>(B)] = true;
                    T.Any = true;
                }
        }
#endif
        return T;
    }();
    return Table;
}

// Finds the first occurrence (as reported by Find(From)) that begins on a character boundary.
template <class TFind> std::size_t FindOnCharStart(std::string_view Text, TFind Find) {
    const TLeadBytes& Lead = LeadBytes();
    std::size_t Pos = Find(0);
    if (!Lead.Any)
        return Pos;
    std::size_t Boundary = 0;
    while (Pos != npos) {
        while (Boundary < Pos)
            Boundary += Lead.IsLead[static_cast<unsigned char>(Text[Boundary])] ? 2 : 1;
        if (Boundary == Pos)
            return Pos;
        Pos = Find(Pos + 1);
    }
    return npos;
}

// ---- Substring search with case folded on the fly ----------------------------------------------

#if defined(__SSE2__)
struct TSseLanes {
    static constexpr std::size_t Width = 16;
    static __m128i Set(char C) { return _mm_set1_epi8(C); }
    static std::uint32_t Places(const char* First, const char* Last, __m128i FirstMask, __m128i FirstValue,
                                __m128i LastMask, __m128i LastValue) {
        const __m128i A = _mm_loadu_si128(reinterpret_cast<const __m128i*>(First));
        const __m128i B = _mm_loadu_si128(reinterpret_cast<const __m128i*>(Last));
        const __m128i Eq = _mm_and_si128(_mm_cmpeq_epi8(_mm_or_si128(A, FirstMask), FirstValue),
                                         _mm_cmpeq_epi8(_mm_or_si128(B, LastMask), LastValue));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(Eq));
    }
};
#endif

// A needle byte matches a text byte X when (X | Mask) == Value: a letter of a folded needle then
// accepts both of its cases, a wildcard "?" (Mask and Value 0xFF) any byte, every other byte only
// itself.
class TNeedle {
public:
    TNeedle() = default;
    TNeedle(std::string_view Pattern, bool FoldText, bool AnyByteWildcard = false)
        : FValue(Pattern), FMask(Pattern.size(), '\0') {
        for (std::size_t I = 0; I < FValue.size(); ++I) {
            const auto C = static_cast<unsigned char>(FValue[I]);
            if (AnyByteWildcard && C == '?') {
                FValue[I] = FMask[I] = static_cast<char>(0xFF);
            } else if (FoldText && Fold(C) >= 'A' && Fold(C) <= 'Z') {
                FValue[I] = static_cast<char>(Fold(C) | 0x20);
                FMask[I] = 0x20;
            }
        }
        ChooseProbes();
        // Checking every candidate place costs up to M steps each; from this length on the walk
        // that never steps back keeps a long needle in a long text from taking quadratic time.
        if (FValue.size() >= LinearFrom && !(AnyByteWildcard && Pattern.find('?') != npos)) {
            FLowerText = FoldText;
            FBorder.assign(FValue.size(), 0);
            for (std::size_t I = 1, K = 0; I < FValue.size(); ++I) {
                while (K > 0 && FValue[I] != FValue[K])
                    K = FBorder[K - 1];
                if (FValue[I] == FValue[K])
                    ++K;
                FBorder[I] = K;
            }
        }
    }

    std::size_t Size() const { return FValue.size(); }

    // First occurrence at or after From; npos when there is none (also for an empty needle).
    std::size_t Find(std::string_view Text, std::size_t From = 0) const {
        const std::size_t M = FValue.size();
        const std::size_t N = Text.size();
        if (M == 0 || From > N || N - From < M)
            return npos;
        const char* H = Text.data();
        std::size_t I = From;
        if (!FBorder.empty())
            return FindLinear(Text, From);
#if defined(GORVANE_FIND_AVX2)
        if (N - I >= M + 31 && HasAvx2)
            return BlockFindWide(H, N, I, FValue.data(), FMask.data(), M, FProbe[0], FProbe[1]);
#endif
#if defined(__SSE2__)
        if (N - I >= M + 15)
            return BlockFind<TSseLanes>(H, N, I, FValue.data(), FMask.data(), M, FProbe[0], FProbe[1]);
#endif
        for (; I + M <= N; ++I)
            if ((H[I] | FMask[0]) == FValue[0] && Equal(H + I))
                return I;
        return npos;
    }

    // Whether the M bytes at P match the needle.
    bool Equal(const char* P) const {
        for (std::size_t K = 0; K < FValue.size(); ++K)
            if ((P[K] | FMask[K]) != FValue[K])
                return false;
        return true;
    }

private:
    static constexpr std::size_t LinearFrom = 64;

    // The block search tests two bytes of the needle at every place; bytes rare in text leave fewer
    // places to check in full. Ranks: lower is rarer, by how often letters occur in English.
    void ChooseProbes() {
        const std::size_t M = FValue.size();
        if (M < 2)
            return;
        auto Rank = [&](std::size_t K) {
            if (static_cast<unsigned char>(FMask[K]) == 0xFF)
                return 100; // "?" takes any byte
            const auto U = static_cast<unsigned char>(FValue[K]);
            if (Fold(U) >= 'A' && Fold(U) <= 'Z') {
                constexpr std::string_view Common = "zqjxkvbpygfwmucldrhsnioate";
                return static_cast<int>(Common.find(static_cast<char>(Fold(U) | 0x20))) + 10;
            }
            return U == ' ' ? 40 : 5; // other bytes: mostly rare, except the blank
        };
        std::size_t A = 0;
        for (std::size_t K = 0; K < M; ++K)
            if (Rank(K) < Rank(A))
                A = K;
        std::size_t B = A == M - 1 ? 0 : M - 1;
        for (std::size_t K = 0; K < M; ++K)
            if (K != A && Rank(K) < Rank(B))
                B = K;
        FProbe[0] = std::min(A, B);
        FProbe[1] = std::max(A, B);
    }

#if defined(GORVANE_FIND_AVX2)
    static inline const bool HasAvx2 = [] {
        __builtin_cpu_init(); // static initialisation may run before the compiler's own detection
        return __builtin_cpu_supports("avx2") != 0;
    }();
#endif

    // Knuth-Morris-Pratt over the text as the needle's values see it (letters lower-cased when
    // case is folded).
    std::size_t FindLinear(std::string_view Text, std::size_t From) const {
        const std::size_t M = FValue.size();
        for (std::size_t I = From, K = 0; I < Text.size(); ++I) {
            char C = Text[I];
            if (FLowerText && C >= 'A' && C <= 'Z')
                C = static_cast<char>(C | 0x20);
            while (K > 0 && FValue[K] != C)
                K = FBorder[K - 1];
            if (FValue[K] == C && ++K == M)
                return I + 1 - M;
        }
        return npos;
    }

    std::string FValue;
    std::string FMask;
    std::size_t FProbe[2] = {0, 0};   // the two places the block search tests first
    std::vector<std::size_t> FBorder; // longest proper border of each prefix, for long needles
    bool FLowerText = false;
};

// ---- Boyer-Moore-Horspool ----------------------------------------------------------------------

class THorspool {
public:
    THorspool() = default;
    THorspool(std::string_view Pattern, bool FoldText) : FPattern(Pattern) {
        for (std::size_t C = 0; C < 256; ++C)
            FMap[C] = FoldText ? Fold(static_cast<unsigned char>(C)) : static_cast<unsigned char>(C);
        const std::size_t M = FPattern.size();
        FShift.fill(M);
        for (std::size_t I = 1; I < M; ++I)
            FShift[static_cast<unsigned char>(FPattern[I - 1])] = M - I;
    }

    bool Found(std::string_view Text) const {
        const std::size_t M = FPattern.size();
        const std::size_t N = Text.size();
        if (M == 0)
            return true;
        // Positions count from 1 as in the textbook statement; K is the text position under P[M].
        for (std::size_t K = M; K <= N;) {
            std::size_t J = M;
            std::size_t I = K;
            while (J >= 1 && static_cast<unsigned char>(FPattern[J - 1]) == At(Text, I - 1)) {
                --J;
                --I;
            }
            if (J == 0)
                return true;
            K += FShift[At(Text, K - 1)];
        }
        return false;
    }

private:
    unsigned char At(std::string_view Text, std::size_t I) const {
        return FMap[static_cast<unsigned char>(Text[I])];
    }

    std::string FPattern;
    std::array<unsigned char, 256> FMap{}; // the text byte as the folded pattern sees it
    std::array<std::size_t, 256> FShift{};
};

// ---- Wildcards ---------------------------------------------------------------------------------

// The rules' end-of-text step makes "*" skip only while text is left, and a last pattern character
// "*" accept any rest. So with P = Q followed by k stars (Q empty or ending in another character):
// k = 0 is the common whole-text glob of Q, k = 1 the glob of Q against some prefix of the text,
// and k >= 2 the same against a prefix that leaves at least one character.
class TGlob {
public:
    TGlob(std::string_view Pattern, bool FoldText) {
        std::size_t End = Pattern.size();
        while (End > 0 && Pattern[End - 1] == '*')
            --End;
        FTrailingStars = Pattern.size() - End;
        const std::string_view Q = Pattern.substr(0, End);
        // Q split at its stars: the first part sits at the start of the text, the last (when there
        // were stars) at its end unless a prefix is enough, the others anywhere between in order.
        std::size_t From = 0;
        for (std::size_t Star; (Star = Q.find('*', From)) != npos; From = Star + 1) {
            if (Star > From || FParts.empty())
                FParts.emplace_back(Q.substr(From, Star - From), FoldText, true);
        }
        FLast = TNeedle(Q.substr(From), FoldText, true);
        FHasStar = !FParts.empty();
    }

    bool Matches(std::string_view Text) const {
        if (FTrailingStars >= 2) {
            if (Text.empty())
                return false;
            Text.remove_suffix(1);
        }
        return Glob(Text, FTrailingStars > 0);
    }

private:
    // The common glob of Q against the whole of T, or against some prefix of it. Taking each middle
    // part at its leftmost place leaves the most room for the rest, so no backtracking is needed.
    bool Glob(std::string_view T, bool PrefixOnly) const {
        const std::size_t N = T.size();
        if (!FHasStar) {
            const std::size_t M = FLast.Size();
            return (PrefixOnly ? M <= N : M == N) && FLast.Equal(T.data());
        }
        const TNeedle& Head = FParts.front();
        if (Head.Size() > N || !Head.Equal(T.data()))
            return false;
        std::size_t Pos = Head.Size();
        std::size_t Limit = N;
        if (!PrefixOnly) {
            if (FLast.Size() > N - Pos || !FLast.Equal(T.data() + N - FLast.Size()))
                return false;
            Limit = N - FLast.Size();
        }
        const std::string_view Room = T.substr(0, Limit);
        for (std::size_t I = 1; I < FParts.size(); ++I) {
            const std::size_t At = FParts[I].Find(Room, Pos);
            if (At == npos)
                return false;
            Pos = At + FParts[I].Size();
        }
        return !PrefixOnly || FLast.Size() == 0 || FLast.Find(T, Pos) != npos;
    }

    std::vector<TNeedle> FParts; // the head, then the non-empty middle parts
    TNeedle FLast;               // after the last star of Q (all of Q when it has none)
    bool FHasStar = false;
    std::size_t FTrailingStars = 0;
};

// The shape a "<wc>" pattern takes before the general walk is needed.
enum class TWildKind { Inner, EmptyPattern, StarOnly, General };

TWildKind ClassifyWildcard(std::string_view P) {
    if (P.size() >= 2 && P.front() == '*' && P.back() == '*' &&
        P.substr(1, P.size() - 2).find_first_of("*?") == npos)
        return TWildKind::Inner;
    if (P.empty())
        return TWildKind::EmptyPattern;
    if (P == "*")
        return TWildKind::StarOnly;
    return TWildKind::General;
}

// The general walk sees the strings as zero-terminated ones do: up to the first NUL byte.
std::string_view UpToNul(std::string_view S) {
    return S.substr(0, std::min(S.size(), S.find('\0')));
}

// ---- Regular expressions -----------------------------------------------------------------------

// Ends runaway backtracking: a search that reaches a limit counts as no match.
constexpr uint32_t RegexMatchLimit = 2'000'000;
constexpr uint32_t RegexDepthLimit = 20'000;
constexpr uint32_t RegexHeapLimitKiB = 64 * 1024;
constexpr std::size_t JitStackMax = 4 * 1024 * 1024;

class TRegex {
public:
    // Never raises: a pattern that is empty or does not compile keeps its error for Matches.
    TRegex(std::string_view Pattern, bool Pcre, bool IgnoreCase) : FNotEmpty(Pcre) {
        const char* Engine = Pcre ? "PCRE error" : "Regular expression error";
        if (Pattern.empty()) {
            FError.emplace(std::string(Engine) + " at offset 0: the pattern is empty", 0);
            return;
        }
        FCompile = pcre2_compile_context_create(nullptr);
        uint32_t Options = IgnoreCase ? PCRE2_CASELESS : 0;
        if (Pcre) {
            FTables = pcre2_maketables(nullptr);
            pcre2_set_character_tables(FCompile, FTables);
            pcre2_set_newline(FCompile, PCRE2_NEWLINE_ANY);
        } else {
            Options |= PCRE2_DOTALL | PCRE2_DOLLAR_ENDONLY;
        }
        int Code = 0;
        PCRE2_SIZE Offset = 0;
        FCode = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(Pattern.data()), Pattern.size(), Options, &Code,
                              &Offset, FCompile);
        if (FCode == nullptr) {
            PCRE2_UCHAR Text[256];
            pcre2_get_error_message(Code, Text, sizeof Text);
            FError.emplace(std::string(Engine) + " at offset " + std::to_string(Offset) + ": " +
                               reinterpret_cast<const char*>(Text),
                           Offset);
            return;
        }
        FJit = pcre2_jit_compile(FCode, PCRE2_JIT_COMPLETE) == 0;
        FMatchData = pcre2_match_data_create(1, nullptr);
        FContext = pcre2_match_context_create(nullptr);
        pcre2_set_match_limit(FContext, RegexMatchLimit);
        pcre2_set_depth_limit(FContext, RegexDepthLimit);
        pcre2_set_heap_limit(FContext, RegexHeapLimitKiB);
        if (FJit) {
            FJitStack = pcre2_jit_stack_create(32 * 1024, JitStackMax, nullptr);
            pcre2_jit_stack_assign(FContext, nullptr, FJitStack);
        }
    }

    ~TRegex() {
        pcre2_jit_stack_free(FJitStack);
        pcre2_match_context_free(FContext);
        pcre2_match_data_free(FMatchData);
        pcre2_code_free(FCode);
        pcre2_compile_context_free(FCompile);
        if (FTables != nullptr)
            pcre2_maketables_free(nullptr, FTables);
    }

    TRegex(const TRegex&) = delete;
    TRegex& operator=(const TRegex&) = delete;

    // Whether the compiled pattern is a run of plain characters, each matching exactly itself and,
    // when case is ignored, its other ASCII case: then a substring search gives the same answers.
    bool IsPlainText(std::string_view Pattern, bool IgnoreCase) const {
        if (FError || Pattern.empty())
            return false;
        for (const char C : Pattern) {
            const auto U = static_cast<unsigned char>(C);
            if (U < 0x20 || U > 0x7e || std::string_view("\\^$.[|()?*+{").find(C) != npos)
                return false;
            // Tables made for the user's locale may pair a letter with a byte outside ASCII.
            if (IgnoreCase && FTables != nullptr) {
                const unsigned char Other = FTables[256 + U];
                const unsigned char Ascii =
                    (Fold(U) >= 'A' && Fold(U) <= 'Z') ? static_cast<unsigned char>(U ^ 0x20) : U;
                if (Other != Ascii)
                    return false;
            }
        }
        return true;
    }

    bool Matches(std::string_view Text) const {
        if (FError)
            throw *FError;
        const auto Subject = reinterpret_cast<PCRE2_SPTR>(Text.empty() ? "" : Text.data());
        const uint32_t Options = FNotEmpty ? PCRE2_NOTEMPTY : 0;
        const int Rc = FJit ? pcre2_jit_match(FCode, Subject, Text.size(), 0, Options, FMatchData, FContext)
                            : pcre2_match(FCode, Subject, Text.size(), 0, Options, FMatchData, FContext);
        // 0 means a match with more groups than the vector holds: still a match.
        return Rc >= 0;
    }

private:
    bool FNotEmpty;
    std::optional<ECompareRuleError> FError;
    const uint8_t* FTables = nullptr;
    pcre2_compile_context* FCompile = nullptr;
    pcre2_code* FCode = nullptr;
    bool FJit = false;
    pcre2_match_data* FMatchData = nullptr;
    pcre2_match_context* FContext = nullptr;
    pcre2_jit_stack* FJitStack = nullptr;
};

bool RegexMatches(std::string_view Text, std::string_view Pattern, bool Pcre, bool IgnoreCase) {
    const TRegex Regex(Pattern, Pcre, IgnoreCase);
    return Regex.Matches(Text);
}

// Combines the terms from left to right. Skipping a term whose test cannot change the result
// leaves the result as evaluating every term would.
template <class TTest> bool EvaluateTerms(const TCompareRule& Rule, TTest Test) {
    bool Result = false;
    for (int I = 0; I < Rule.Count(); ++I) {
        const TCompareRuleItem& Item = *Rule.Items(I);
        if (Item.Operation == croAnd ? !Result : Result)
            continue;
        Result = Test(I) != Item.Negated;
    }
    return Result;
}

} // namespace

// ---- TCompareRule ------------------------------------------------------------------------------

TCompareRule::~TCompareRule() {
    while (!FItems.empty())
        FItems.pop_back();
}

TCompareRuleItem* TCompareRule::Add(std::unique_ptr<TCompareRuleItem> Item) {
    FItems.push_back(std::move(Item));
    return FItems.back().get();
}

void TCompareRule::Delete(int Index) {
    FItems.erase(FItems.begin() + Index);
}

void TCompareRule::SetRule(std::string_view Rule) {
    FItems.clear();

    std::string Token;
    bool Quoted = false;
    auto EndToken = [&] {
        if (!Token.empty()) {
            auto Item = std::make_unique<TCompareRuleItem>();
            Item->Text = std::move(Token);
            FItems.push_back(std::move(Item));
        }
        Token.clear();
    };
    for (const char C : Rule) {
        if (C == '"') {
            if (Quoted)
                EndToken();
            Quoted = !Quoted;
        } else if (C == ' ' && !Quoted) {
            EndToken();
        } else {
            Token.push_back(C);
        }
    }
    EndToken();

    if (!FItems.empty() && IsKeyword(FItems.back()->Text, "NOT"))
        FItems.pop_back();

    // Each pass walks from the right and drops a keyword item after handing its meaning to the
    // nearest item still to its right; one sweep gives what deleting them one by one gives.
    auto DropFromRight = [this](std::size_t First, auto Handle) {
        if (FItems.size() < 2)
            return;
        std::vector<std::unique_ptr<TCompareRuleItem>> Kept;
        Kept.push_back(std::move(FItems.back()));
        for (std::size_t I = FItems.size() - 1; I-- > 0;) {
            if (I >= First && Handle(*FItems[I], *Kept.back()))
                continue;
            Kept.push_back(std::move(FItems[I]));
        }
        std::reverse(Kept.begin(), Kept.end());
        FItems = std::move(Kept);
    };

    DropFromRight(0, [](const TCompareRuleItem& Item, TCompareRuleItem& Next) {
        if (!IsKeyword(Item.Text, "NOT"))
            return false;
        Next.Negated = true;
        return true;
    });

    if (!FItems.empty())
        FItems.front()->Operation = croOr;

    if (!FItems.empty() && IsKeyword(FItems.back()->Text, "OR"))
        FItems.pop_back();
    if (!FItems.empty() && IsKeyword(FItems.back()->Text, "AND"))
        FItems.pop_back();

    DropFromRight(1, [](const TCompareRuleItem& Item, TCompareRuleItem& Next) {
        if (IsKeyword(Item.Text, "AND"))
            Next.Operation = croAnd;
        else if (IsKeyword(Item.Text, "OR"))
            Next.Operation = croOr;
        else
            return false;
        return true;
    });
}

bool TCompareRule::Matches(std::string_view Text) const {
    return EvaluateTerms(*this, [&](int I) { return TNeedle(Items(I)->Text, false).Find(Text) != npos; });
}

// ---- One-shot matching -------------------------------------------------------------------------

void ExtractCompareMethod(std::string& Rule, TStringCompareMethod& Method) {
    static constexpr struct {
        std::string_view Prefix;
        TStringCompareMethod Method;
    } Prefixes[] = {
        {"<wc>", scmWildcard},     {"<substr>", scmSubString}, {"<bool>", scmBoolean},
        {"<regexpr>", scmRegExpr}, {"<pcre>", scmPcre},        {"<bm>", scmBoyerMoore},
    };
    for (const auto& P : Prefixes)
        if (std::string_view(Rule).substr(0, P.Prefix.size()) == P.Prefix) {
            Method = P.Method;
            Rule.erase(0, P.Prefix.size());
            return;
        }
}

bool MatchesCompareRule(std::string_view Text, std::string_view Rule, bool IgnoreCase,
                        TStringCompareMethod DefaultMethod) {
    std::string Copy(Rule);
    TStringCompareMethod Method = DefaultMethod;
    ExtractCompareMethod(Copy, Method);
    return MatchByMethod(Text, Copy, Method, IgnoreCase);
}

bool MatchByMethod(std::string_view Text, std::string_view Pattern, TStringCompareMethod Method,
                   bool IgnoreCase) {
    switch (Method) {
    case scmSubString:
        return MatchSubString(Text, Pattern, IgnoreCase);
    case scmWildcard:
        return MatchWildcard(Text, Pattern, IgnoreCase);
    case scmBoolean:
        return MatchBoolean(Text, Pattern, IgnoreCase);
    case scmRegExpr:
        return MatchRegExpr(Text, Pattern, IgnoreCase);
    case scmPcre:
        return MatchPcre(Text, Pattern, IgnoreCase);
    case scmBoyerMoore:
        return MatchBoyerMoore(Text, Pattern, IgnoreCase);
    case scmExact:
        return MatchExact(Text, Pattern, IgnoreCase);
    }
    return false;
}

bool MatchSubString(std::string_view Text, std::string_view Pattern, bool IgnoreCase) {
    if (Pattern.empty() || Text.empty())
        return false;
    const std::string T = IgnoreCase ? FoldCopy(Text) : std::string(Text);
    const std::string P = IgnoreCase ? FoldCopy(Pattern) : std::string(Pattern);
    const TNeedle Needle(P, false);
    return FindOnCharStart(T, [&](std::size_t From) { return Needle.Find(T, From); }) != npos;
}

bool MatchWildcard(std::string_view Text, std::string_view Pattern, bool IgnoreCase) {
    const std::string T = IgnoreCase ? FoldCopy(Text) : std::string(Text);
    const std::string P = IgnoreCase ? FoldCopy(Pattern) : std::string(Pattern);
    switch (ClassifyWildcard(P)) {
    case TWildKind::Inner:
        return TNeedle(std::string_view(P).substr(1, P.size() - 2), false).Find(T) != npos;
    case TWildKind::EmptyPattern:
        return T.empty();
    case TWildKind::StarOnly:
        return true;
    case TWildKind::General:
        break;
    }
    return WildcardMatch(T.c_str(), P.c_str());
}

bool MatchBoolean(std::string_view Text, std::string_view Pattern, bool IgnoreCase) {
    TCompareRule Rule;
    Rule.SetRule(IgnoreCase ? FoldCopy(Pattern) : std::string(Pattern));
    return Rule.Matches(IgnoreCase ? FoldCopy(Text) : std::string(Text));
}

bool MatchRegExpr(std::string_view Text, std::string_view Pattern, bool IgnoreCase) {
    return RegexMatches(Text, Pattern, false, IgnoreCase);
}

bool MatchPcre(std::string_view Text, std::string_view Pattern, bool IgnoreCase) {
    return RegexMatches(Text, Pattern, true, IgnoreCase);
}

bool MatchBoyerMoore(std::string_view Text, std::string_view Pattern, bool IgnoreCase) {
    const std::string T = IgnoreCase ? FoldCopy(Text) : std::string(Text);
    const std::string P = IgnoreCase ? FoldCopy(Pattern) : std::string(Pattern);
    return THorspool(P, false).Found(T);
}

bool MatchExact(std::string_view Text, std::string_view Pattern, bool IgnoreCase) {
    if (!IgnoreCase)
        return Text == Pattern;
    return Text.size() == Pattern.size() && FoldCopy(Text) == FoldCopy(Pattern);
}

bool WildcardMatch(const char* Text, const char* Pattern) {
    return TGlob(Pattern, false).Matches(Text);
}

// ---- The prepared rule -------------------------------------------------------------------------

struct TPreparedCompareRule::TImpl {
    TStringCompareMethod Method = scmSubString;
    std::string Pattern;
    bool IgnoreCase = false;

    TNeedle Needle;
    TWildKind Wild = TWildKind::General;
    std::optional<TGlob> Glob;
    TCompareRule Rule;
    std::vector<TNeedle> Terms;
    THorspool Horspool;
    std::unique_ptr<TRegex> Regex;
    bool PlainRegex = false; // the pattern is plain text, searched as a substring

    TImpl(std::string_view RuleText, bool CaseIgnored, TStringCompareMethod DefaultMethod)
        : Method(DefaultMethod), Pattern(RuleText), IgnoreCase(CaseIgnored) {
        ExtractCompareMethod(Pattern, Method);
        const std::string P = IgnoreCase ? FoldCopy(Pattern) : Pattern;
        switch (Method) {
        case scmSubString:
            Needle = TNeedle(P, IgnoreCase);
            break;
        case scmWildcard:
            Wild = ClassifyWildcard(P);
            if (Wild == TWildKind::Inner)
                Needle = TNeedle(std::string_view(P).substr(1, P.size() - 2), IgnoreCase);
            else if (Wild == TWildKind::General)
                Glob.emplace(UpToNul(P), IgnoreCase);
            break;
        case scmBoolean:
            Rule.SetRule(P);
            for (int I = 0; I < Rule.Count(); ++I)
                Terms.emplace_back(Rule.Items(I)->Text, IgnoreCase);
            break;
        case scmRegExpr:
        case scmPcre:
            Regex = std::make_unique<TRegex>(Pattern, Method == scmPcre, IgnoreCase);
            PlainRegex = Regex->IsPlainText(Pattern, IgnoreCase);
            if (PlainRegex)
                Needle = TNeedle(P, IgnoreCase);
            break;
        case scmBoyerMoore:
            Horspool = THorspool(P, IgnoreCase);
            break;
        case scmExact:
            Needle = TNeedle(P, IgnoreCase);
            break;
        }
    }

    bool Matches(std::string_view Text) const {
        switch (Method) {
        case scmSubString:
            if (Text.empty())
                return false;
            return FindOnCharStart(Text, [&](std::size_t From) { return Needle.Find(Text, From); }) != npos;
        case scmWildcard:
            switch (Wild) {
            case TWildKind::Inner:
                return Needle.Find(Text) != npos;
            case TWildKind::EmptyPattern:
                return Text.empty();
            case TWildKind::StarOnly:
                return true;
            case TWildKind::General:
                return Glob->Matches(UpToNul(Text));
            }
            return false;
        case scmBoolean:
            return EvaluateTerms(
                Rule, [&](int I) { return Terms[static_cast<std::size_t>(I)].Find(Text) != npos; });
        case scmRegExpr:
        case scmPcre:
            return PlainRegex ? Needle.Find(Text) != npos : Regex->Matches(Text);
        case scmBoyerMoore:
            return Horspool.Found(Text);
        case scmExact:
            return Text.size() == Needle.Size() && Needle.Equal(Text.data());
        }
        return false;
    }

    // A boolean rule over many texts, text by text as Matches would, but each term is searched for
    // through all the texts that follow: its next occurrence answers for every text up to it, so a
    // term is looked for again only once a text has passed it.
    void BooleanGroups(std::string_view Buffer, std::span<const std::uint32_t> Ends, std::size_t Group,
                       std::span<unsigned char> Hit) const {
        const std::size_t Count = Ends.size();
        const std::string_view Texts = Buffer.substr(0, Count ? Ends[Count - 1] : 0);
        constexpr std::size_t Unknown = npos - 1;
        std::vector<std::size_t> Next(Terms.size(), Unknown);
        for (std::size_t First = 0; First < Count; First += Group) {
            if (Hit[First / Group])
                continue;
            const std::size_t Last = std::min(Count, First + Group);
            for (std::size_t J = First; J < Last; ++J) {
                const std::size_t Begin = J ? Ends[J - 1] : 0;
                const std::size_t End = Ends[J];
                const bool Matched = EvaluateTerms(Rule, [&](int I) {
                    const TNeedle& Term = Terms[static_cast<std::size_t>(I)];
                    std::size_t& At = Next[static_cast<std::size_t>(I)];
                    if (At == Unknown || (At != npos && At < Begin))
                        At = Term.Find(Texts, Begin);
                    return At != npos && At + Term.Size() <= End;
                });
                if (Matched) {
                    Hit[First / Group] = 1;
                    break;
                }
            }
        }
    }
};

TPreparedCompareRule::TPreparedCompareRule(std::string_view Rule, bool IgnoreCase,
                                           TStringCompareMethod DefaultMethod)
    : FImpl(std::make_unique<TImpl>(Rule, IgnoreCase, DefaultMethod)) {}

TPreparedCompareRule::~TPreparedCompareRule() = default;
TPreparedCompareRule::TPreparedCompareRule(TPreparedCompareRule&&) noexcept = default;
TPreparedCompareRule& TPreparedCompareRule::operator=(TPreparedCompareRule&&) noexcept = default;

bool TPreparedCompareRule::Matches(std::string_view Text) const {
    return FImpl->Matches(Text);
}

void TPreparedCompareRule::MatchGroups(std::string_view Buffer, std::span<const std::uint32_t> Ends,
                                       std::size_t Group, std::span<unsigned char> Hit) const {
    const TImpl& Impl = *FImpl;
    const bool OneNeedle = (Impl.Method == scmSubString && !LeadBytes().Any) ||
                           (Impl.Method == scmWildcard && Impl.Wild == TWildKind::Inner) || Impl.PlainRegex;
    const std::size_t Count = Ends.size();
    if (Impl.Method == scmBoolean) {
        Impl.BooleanGroups(Buffer, Ends, Group, Hit);
        return;
    }
    if (!OneNeedle || Impl.Needle.Size() == 0) {
        std::size_t Begin = 0;
        for (std::size_t I = 0; I < Count; ++I) {
            const std::size_t End = Ends[I];
            if (!Hit[I / Group] && Impl.Matches(Buffer.substr(Begin, End - Begin)))
                Hit[I / Group] = 1;
            Begin = End;
        }
        return;
    }
    // One pass of the needle over all texts. An occurrence that runs past the end of its text is
    // none; no later one can start in that text, so the search goes on with the next text.
    const std::size_t M = Impl.Needle.Size();
    const std::string_view Used = Buffer.substr(0, Count ? Ends[Count - 1] : 0);
    std::size_t From = 0;
    std::size_t I = 0;
    while (I < Count) {
        const std::size_t At = Impl.Needle.Find(Used, From);
        if (At == npos)
            return;
        while (Ends[I] <= At)
            ++I;
        if (At + M <= Ends[I]) {
            Hit[I / Group] = 1;
            I = (I / Group + 1) * Group; // the rest of the group is not needed
            if (I >= Count)
                return;
            From = Ends[I - 1];
        } else {
            From = Ends[I];
            ++I;
        }
    }
}

TStringCompareMethod TPreparedCompareRule::Method() const {
    return FImpl->Method;
}

const std::string& TPreparedCompareRule::Pattern() const {
    return FImpl->Pattern;
}

void SetDoubleByteLeadBytes(std::string_view Bytes) {
    TLeadBytes& Table = LeadBytes();
    Table = TLeadBytes();
    for (const char C : Bytes) {
        Table.IsLead[static_cast<unsigned char>(C)] = true;
        Table.Any = true;
    }
}
