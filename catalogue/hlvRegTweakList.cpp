#include "catalogue/hlvRegTweakList.h"

#include "catalogue/hlvMemIniFile.h"
#include "matching/vxStringCompare.h"
#include "registry/hlvRegTools.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <limits>
#include <numeric>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace {

bool Blank(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u >= 1 && u <= 32;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::uint32_t> ParseHex(std::string_view s) {
    if (s.empty())
        return std::nullopt;
    std::uint64_t v = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0)
            return std::nullopt;
        v = v * 16 + static_cast<unsigned>(d);
        if (v > 0xFFFFFFFFull)
            return std::nullopt;
    }
    return static_cast<std::uint32_t>(v);
}

} // namespace

// A signed 32-bit number in "0x" hexadecimal or the notation [sign] (digits | "$" hex digits).
std::optional<std::int32_t> ParseTweakInteger(std::string_view s) {
    if (s.size() >= 3 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        auto v = ParseHex(s.substr(2));
        if (!v)
            return std::nullopt;
        return static_cast<std::int32_t>(*v);
    }
    bool negative = false;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        negative = s[0] == '-';
        s.remove_prefix(1);
    }
    if (!s.empty() && s[0] == '$') {
        auto v = ParseHex(s.substr(1));
        if (!v)
            return std::nullopt;
        std::uint32_t u = negative ? 0u - *v : *v;
        return static_cast<std::int32_t>(u);
    }
    if (s.empty())
        return std::nullopt;
    std::int64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + (c - '0');
        if (v > static_cast<std::int64_t>(INT32_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        v = -v;
    if (v > INT32_MAX || v < INT32_MIN)
        return std::nullopt;
    return static_cast<std::int32_t>(v);
}

bool ReadYesNo(std::string_view value) {
    auto v = ParseTweakInteger(value);
    return v && *v != 0;
}

void ReadCommaList(std::string_view s, TStringList& Target, bool* Unclosed) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    auto skip = [&] {
        while (i < n && Blank(s[i]))
            ++i;
    };
    skip();
    while (i < n) {
        std::string item;
        if (s[i] == '"') {
            ++i;
            bool closed = false;
            while (i < n) {
                if (s[i] == '"') {
                    if (i + 1 < n && s[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                item += s[i++];
            }
            // An unclosed quote takes the rest of the value as its item.
            if (!closed && Unclosed)
                *Unclosed = true;
        } else {
            std::size_t b = i;
            while (i < n && s[i] != ',' && static_cast<unsigned char>(s[i]) > 32)
                ++i;
            item.assign(s.substr(b, i - b));
        }
        Target.Add(std::move(item));
        skip();
        if (i < n && s[i] == ',') {
            if (i == n - 1)
                Target.Add(std::string());
            ++i;
            skip();
        }
    }
}

void TRegistryTweakList::LoadFromFile(const std::string& FileName, bool ClearFirst) {
    TMemIniFile ini(FileName);
    LoadFromIni(ini, ClearFirst);
}

namespace {

enum TTweakKey : int {
    kTitle,
    kCompany,
    kProduct,
    kDescription,
    kTechRefUrl,
    kRegKeyPath,
    kRegValueName,
    kRegBooleanDecision,
    kOfferFilenamePicker,
    kRegRootKey,
    kCategories,
    kSuggestions,
    kRegDataType,
    kKeyCount
};

constexpr std::array<std::string_view, kKeyCount> TweakKeyNames = {"Title",
                                                                   "Company",
                                                                   "Product",
                                                                   "Description",
                                                                   "TechRefUrl",
                                                                   "RegKeyPath",
                                                                   "RegValueName",
                                                                   "RegBooleanDecision",
                                                                   "OfferFilenamePicker",
                                                                   "RegRootKey",
                                                                   "Categories",
                                                                   "Suggestions",
                                                                   "RegDataType"};

bool SameAsciiName(std::string_view a, std::string_view b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if ((a[i] & ~0x20) != (b[i] & ~0x20))
            return false;
    return true;
}

int TweakKeyIndex(std::string_view name) {
    bool ascii = true;
    bool letters = true;
    for (char c : name) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        letters = letters && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'));
    }
    // Our names are all letters, where clearing bit 5 folds case; other ASCII names cannot match.
    if (letters) {
        for (int k = 0; k < kKeyCount; ++k)
            if (TweakKeyNames[k].size() == name.size() && SameAsciiName(name, TweakKeyNames[k]))
                return k;
        return -1;
    }
    if (ascii)
        return -1;
    // Non-ASCII names may still upper-case to one of ours ("\u0131" to "I").
    for (int k = 0; k < kKeyCount; ++k)
        if (SameIniName(name, TweakKeyNames[k]))
            return k;
    return -1;
}

} // namespace

void TRegistryTweakList::LoadFromIni(const TMemIniFile& Ini, bool ClearFirst) {
    if (ClearFirst)
        Clear();
    const auto& sections = Ini.Sections();
    std::vector<std::string> keys;
    keys.reserve(sections.size());
    for (const auto& sec : sections)
        keys.push_back(LocaleSortKey(sec.Name));
    std::vector<std::size_t> order(sections.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
    FOwned.reserve(FOwned.size() + sections.size());
    FItems.reserve(FItems.size() + sections.size());
    FOrder.reserve(FOrder.size() + sections.size());
    for (std::size_t index : order) {
        TRegistryTweak* t = AddTweak();
        t->TweakID = std::string(sections[index].Name);
        const TMemIniFile::TSection& sec = sections[sections[index].Effective];
        std::array<const std::string_view*, kKeyCount> found{};
        for (const auto& key : sec.Keys) {
            int k = TweakKeyIndex(key.Name);
            if (k >= 0)
                found[static_cast<std::size_t>(k)] = &key.Value;
        }
        auto text = [&](int k) { return found[k] ? std::string(*found[k]) : std::string(); };
        t->Title = text(kTitle);
        t->Company = text(kCompany);
        t->Product = text(kProduct);
        t->Description = text(kDescription);
        t->TechRefUrl = text(kTechRefUrl);
        t->RegKeyPath = text(kRegKeyPath);
        t->RegValueName = text(kRegValueName);
        t->RegBooleanDecision = found[kRegBooleanDecision] && ReadYesNo(*found[kRegBooleanDecision]);
        t->OfferFilenamePicker = found[kOfferFilenamePicker] && ReadYesNo(*found[kOfferFilenamePicker]);
        t->RegRootKey = RootKeyFromString(found[kRegRootKey] ? *found[kRegRootKey] : "HKEY_LOCAL_MACHINE");
        if (found[kCategories])
            ReadCommaList(*found[kCategories], t->Categories, nullptr);
        if (found[kSuggestions])
            ReadCommaList(*found[kSuggestions], t->Suggestions, nullptr);
        t->RegDataType = RegDataTypeFromString(found[kRegDataType] ? *found[kRegDataType] : "REG_NONE");
    }
}

namespace {

enum TSortField : int { sfTitle, sfCompany, sfProduct, sfCount };

const std::string& SortText(const TRegistryTweak& t, int Field) {
    switch (Field) {
    case sfTitle:
        return t.Title;
    case sfCompany:
        return t.Company;
    default:
        return t.Product;
    }
}

constexpr std::size_t SearchedFields = 4;

// The fields FilterBySearchTerm tries, in its order.
std::array<const std::string*, SearchedFields> SearchedTexts(const TRegistryTweak& t) {
    return {&t.Title, &t.Description, &t.RegKeyPath, &t.RegValueName};
}

} // namespace

// What the sorts and the search keep between calls. The catalogue's texts do not change after
// loading, so a tweak's sort key is needed once per field, and a sort is a function of the order
// before it and the field: the search action's three sorts soon come back to orders seen before.
struct TRegistryTweakList::TIndex {
    // Per field and slot, the place of the tweak's sort key among the distinct keys: equal keys get
    // equal ranks, so a stable sort by rank is the stable sort by key.
    std::array<std::vector<std::uint32_t>, sfCount> Ranks;
    std::array<std::uint32_t, sfCount> RankCount{};

    struct TOrder {
        std::uint64_t Version;
        std::vector<std::uint32_t> Slots;
    };
    struct TStep {
        std::uint64_t From;
        int Field;
        std::uint64_t To;
    };
    static constexpr std::size_t Remembered = 8;
    std::vector<TOrder> Orders; // least recently used first
    std::vector<TStep> Steps;   // the same
    std::uint64_t Version = 0;  // of the current order; 0 while it is none of the remembered ones
    std::uint64_t NextVersion = 1;

    // The searched texts of every tweak by slot, one after another; Ends[SearchedFields * s + k] is
    // where field k of slot s ends. Not usable when it is too large for 32-bit offsets.
    bool LayoutBuilt = false;
    bool LayoutUsable = false;
    std::string Text;
    std::vector<std::uint32_t> Ends;

    const std::vector<std::uint32_t>& RanksFor(int Field,
                                               const std::vector<std::unique_ptr<TRegistryTweak>>& Tweaks) {
        std::vector<std::uint32_t>& ranks = Ranks[static_cast<std::size_t>(Field)];
        if (ranks.size() == Tweaks.size())
            return ranks;
        // Companies and products repeat a lot: one sort key per distinct text.
        std::unordered_map<std::string_view, std::uint32_t> distinct;
        std::vector<std::uint32_t> textOf(Tweaks.size());
        std::vector<std::string> keys;
        for (std::size_t s = 0; s < Tweaks.size(); ++s) {
            const std::string& text = SortText(*Tweaks[s], Field);
            auto [it, added] = distinct.try_emplace(text, static_cast<std::uint32_t>(keys.size()));
            if (added)
                keys.push_back(LocaleSortKey(text));
            textOf[s] = it->second;
        }
        std::vector<std::uint32_t> byKey(keys.size());
        std::iota(byKey.begin(), byKey.end(), 0u);
        std::sort(byKey.begin(), byKey.end(),
                  [&](std::uint32_t a, std::uint32_t b) { return keys[a] < keys[b]; });
        std::vector<std::uint32_t> rankOf(keys.size());
        std::uint32_t rank = 0;
        for (std::size_t i = 0; i < byKey.size(); ++i) {
            if (i > 0 && keys[byKey[i]] != keys[byKey[i - 1]])
                ++rank;
            rankOf[byKey[i]] = rank;
        }
        RankCount[static_cast<std::size_t>(Field)] = keys.empty() ? 0 : rank + 1;
        ranks.resize(Tweaks.size());
        for (std::size_t s = 0; s < Tweaks.size(); ++s)
            ranks[s] = rankOf[textOf[s]];
        return ranks;
    }

    // The remembered order with that version, marked as just used; null when it is gone.
    const std::vector<std::uint32_t>* FindOrder(std::uint64_t V) {
        for (std::size_t i = 0; i < Orders.size(); ++i)
            if (Orders[i].Version == V) {
                std::rotate(Orders.begin() + static_cast<std::ptrdiff_t>(i),
                            Orders.begin() + static_cast<std::ptrdiff_t>(i) + 1, Orders.end());
                return &Orders.back().Slots;
            }
        return nullptr;
    }

    std::uint64_t FindStep(std::uint64_t From, int Field) {
        for (std::size_t i = 0; i < Steps.size(); ++i)
            if (Steps[i].From == From && Steps[i].Field == Field) {
                const std::uint64_t to = Steps[i].To;
                std::rotate(Steps.begin() + static_cast<std::ptrdiff_t>(i),
                            Steps.begin() + static_cast<std::ptrdiff_t>(i) + 1, Steps.end());
                return to;
            }
        return 0;
    }

    // The version of Order, remembering it if it is new.
    std::uint64_t Remember(const std::vector<std::uint32_t>& Order) {
        for (std::size_t i = 0; i < Orders.size(); ++i)
            if (Orders[i].Slots == Order) {
                const std::uint64_t v = Orders[i].Version;
                FindOrder(v);
                return v;
            }
        if (Orders.size() == Remembered)
            Orders.erase(Orders.begin());
        Orders.push_back({NextVersion, Order});
        return NextVersion++;
    }

    void RememberStep(std::uint64_t From, int Field, std::uint64_t To) {
        // A step whose result was forgotten is replaced, not left to shadow the new one.
        std::erase_if(Steps, [&](const TStep& s) { return s.From == From && s.Field == Field; });
        if (Steps.size() == Remembered)
            Steps.erase(Steps.begin());
        Steps.push_back({From, Field, To});
    }

    void BuildLayout(const std::vector<std::unique_ptr<TRegistryTweak>>& Tweaks) {
        LayoutBuilt = true;
        std::size_t size = 0;
        for (const auto& t : Tweaks)
            for (const std::string* field : SearchedTexts(*t))
                size += field->size();
        LayoutUsable = size <= std::numeric_limits<std::uint32_t>::max();
        if (!LayoutUsable)
            return;
        Text.reserve(size);
        Ends.reserve(Tweaks.size() * SearchedFields);
        for (const auto& t : Tweaks)
            for (const std::string* field : SearchedTexts(*t)) {
                Text += *field;
                Ends.push_back(static_cast<std::uint32_t>(Text.size()));
            }
    }
};

TRegistryTweakList::TRegistryTweakList() = default;
TRegistryTweakList::~TRegistryTweakList() = default;
TRegistryTweakList::TRegistryTweakList(TRegistryTweakList&&) noexcept = default;
TRegistryTweakList& TRegistryTweakList::operator=(TRegistryTweakList&&) noexcept = default;

TRegistryTweakList::TIndex& TRegistryTweakList::Index() {
    if (!FIndex)
        FIndex = std::make_unique<TIndex>();
    return *FIndex;
}

void TRegistryTweakList::TweaksChanged() {
    FIndex.reset();
}

TRegistryTweak* TRegistryTweakList::AddTweak() {
    FIndex.reset();
    FOwned.push_back(std::make_unique<TRegistryTweak>());
    FItems.push_back(FOwned.back().get());
    FOrder.push_back(static_cast<std::uint32_t>(FOwned.size() - 1));
    return FItems.back();
}

void TRegistryTweakList::Clear() {
    FIndex.reset();
    FVisible.clear();
    FItems.clear();
    FOrder.clear();
    FOwned.clear();
}

namespace {

void AppendDistinct(TStringList& Target, const std::string& Value) {
    if (Target.IndexOf(Value) < 0)
        Target.Add(Value);
}

} // namespace

void TRegistryTweakList::ListCategories(TStringList& Target) const {
    for (const TRegistryTweak* t : FItems)
        for (const std::string& c : t->Categories)
            AppendDistinct(Target, c);
}

void TRegistryTweakList::ListCompanies(TStringList& Target) const {
    for (const TRegistryTweak* t : FItems)
        AppendDistinct(Target, t->Company);
}

void TRegistryTweakList::ListProducts(TStringList& Target) const {
    for (const TRegistryTweak* t : FItems)
        AppendDistinct(Target, t->Product);
}

void TRegistryTweakList::SetOrder(std::vector<std::uint32_t> Order) {
    FOrder = std::move(Order);
    for (std::size_t i = 0; i < FOrder.size(); ++i)
        FItems[i] = FOwned[FOrder[i]].get();
}

void TRegistryTweakList::SortBy(int Field) {
    TIndex& index = Index();
    if (index.Version != 0)
        if (const std::uint64_t to = index.FindStep(index.Version, Field))
            if (const std::vector<std::uint32_t>* order = index.FindOrder(to)) {
                SetOrder(*order);
                index.Version = to;
                return;
            }
    // A stable counting sort by rank.
    // The first sort ranks all three fields: the window sorts by company and product at start-up,
    // and the title's ranks, the dearest, would otherwise hold up the first key stroke.
    for (int f = 0; f < sfCount; ++f)
        index.RanksFor(f, FOwned);
    const std::vector<std::uint32_t>& ranks = index.RanksFor(Field, FOwned);
    std::vector<std::uint32_t> start(index.RankCount[static_cast<std::size_t>(Field)] + 1, 0);
    for (std::uint32_t slot : FOrder)
        ++start[ranks[slot] + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<std::uint32_t> sorted(FOrder.size());
    for (std::uint32_t slot : FOrder)
        sorted[start[ranks[slot]]++] = slot;
    const std::uint64_t to = index.Remember(sorted);
    if (index.Version != 0)
        index.RememberStep(index.Version, Field, to);
    index.Version = to;
    SetOrder(std::move(sorted));
}

void TRegistryTweakList::SortByTitle() {
    SortBy(sfTitle);
}

void TRegistryTweakList::SortByCompany() {
    SortBy(sfCompany);
}

void TRegistryTweakList::SortByProduct() {
    SortBy(sfProduct);
}

namespace {

template <class Test>
void AddPassing(const std::vector<TRegistryTweak*>& items, TRegistryTweakList& list, Test passes) {
    for (TRegistryTweak* t : items)
        if (passes(*t))
            list.AddVisible(t);
}

} // namespace

int TRegistryTweakList::FilterByCategory(const std::string& Category) {
    FVisible.clear();
    AddPassing(FItems, *this, [&](const TRegistryTweak& t) { return t.Categories.IndexOf(Category) >= 0; });
    return VisibleCount();
}

int TRegistryTweakList::FilterByCompany(const std::string& Company) {
    FVisible.clear();
    AddPassing(FItems, *this, [&](const TRegistryTweak& t) { return t.Company == Company; });
    return VisibleCount();
}

int TRegistryTweakList::FilterByProduct(const std::string& Product) {
    FVisible.clear();
    AddPassing(FItems, *this, [&](const TRegistryTweak& t) { return t.Product == Product; });
    return VisibleCount();
}

int TRegistryTweakList::FilterBySearchTerm(const std::string& Term) {
    FVisible.clear();
    // Parsed and compiled once per run; its results are those of MatchesCompareRule per field.
    const TPreparedCompareRule rule(Term, true, scmSubString);
    auto passes = [&](const TRegistryTweak& t) {
        return rule.Matches(t.Title) || rule.Matches(t.Description) || rule.Matches(t.RegKeyPath) ||
               rule.Matches(t.RegValueName);
    };
    TIndex& index = Index();
    if (!index.LayoutBuilt)
        index.BuildLayout(FOwned);
    if (!index.LayoutUsable) {
        AddPassing(FItems, *this, passes);
        return VisibleCount();
    }
    // The copied texts lie one after another, so the search reads memory in order; it runs in slot
    // order and the visible set is then taken in catalogue order.
    std::vector<unsigned char> hit(FOwned.size(), 0);
    try {
        rule.MatchGroups(index.Text, index.Ends, SearchedFields, hit);
    } catch (...) {
        // The error passes to the caller with the visible set as the catalogue order leaves it.
        FVisible.clear();
        AddPassing(FItems, *this, passes);
        throw;
    }
    for (std::size_t i = 0; i < FItems.size(); ++i)
        if (hit[FOrder[i]])
            FVisible.push_back(FItems[i]);
    return VisibleCount();
}
