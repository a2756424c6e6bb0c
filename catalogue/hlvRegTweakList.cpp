#include "catalogue/hlvRegTweakList.h"

#include "catalogue/hlvMemIniFile.h"
#include "matching/vxStringCompare.h"
#include "registry/hlvRegTools.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <numeric>
#include <optional>

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
    FItems.reserve(FItems.size() + sections.size());
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

TRegistryTweak* TRegistryTweakList::AddTweak() {
    FItems.push_back(std::make_unique<TRegistryTweak>());
    return FItems.back().get();
}

void TRegistryTweakList::Clear() {
    FVisible.clear();
    FItems.clear();
}

namespace {

void AppendDistinct(TStringList& Target, const std::string& Value) {
    if (Target.IndexOf(Value) < 0)
        Target.Add(Value);
}

} // namespace

void TRegistryTweakList::ListCategories(TStringList& Target) const {
    for (const auto& t : FItems)
        for (const std::string& c : t->Categories)
            AppendDistinct(Target, c);
}

void TRegistryTweakList::ListCompanies(TStringList& Target) const {
    for (const auto& t : FItems)
        AppendDistinct(Target, t->Company);
}

void TRegistryTweakList::ListProducts(TStringList& Target) const {
    for (const auto& t : FItems)
        AppendDistinct(Target, t->Product);
}

namespace {

template <class Field> void SortTweaks(std::vector<std::unique_ptr<TRegistryTweak>>& items, Field field) {
    // Sort keys once per tweak instead of collating at every comparison.
    std::vector<std::pair<std::string, std::unique_ptr<TRegistryTweak>>> keyed;
    keyed.reserve(items.size());
    for (auto& t : items) {
        std::string key = LocaleSortKey(field(*t));
        keyed.emplace_back(std::move(key), std::move(t));
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        items[i] = std::move(keyed[i].second);
}

} // namespace

void TRegistryTweakList::SortByTitle() {
    SortTweaks(FItems, [](const TRegistryTweak& t) -> const std::string& { return t.Title; });
}

void TRegistryTweakList::SortByCompany() {
    SortTweaks(FItems, [](const TRegistryTweak& t) -> const std::string& { return t.Company; });
}

void TRegistryTweakList::SortByProduct() {
    SortTweaks(FItems, [](const TRegistryTweak& t) -> const std::string& { return t.Product; });
}

namespace {

template <class Test>
void AddPassing(const std::vector<std::unique_ptr<TRegistryTweak>>& items, TRegistryTweakList& list,
                Test passes) {
    for (const auto& t : items)
        if (passes(*t))
            list.AddVisible(t.get());
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
    AddPassing(FItems, *this, [&](const TRegistryTweak& t) {
        return rule.Matches(t.Title) || rule.Matches(t.Description) || rule.Matches(t.RegKeyPath) ||
               rule.Matches(t.RegValueName);
    });
    return VisibleCount();
}
