#pragma once
// The tweak record and the catalogue: loading tweak files, facets, sorts, the visible set and filters.
#include "catalogue/hlvStringList.h"
#include "registry/WinReg.h"
#include "registry/hlvRegTypes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TMemIniFile;

// The tweak files' conversions.
// A signed 32-bit number: "0x" and hexadecimal digits, or [sign] (decimal digits | "$" hexadecimal digits).
std::optional<std::int32_t> ParseTweakInteger(std::string_view Value);
// Yes/no number: true for any number other than 0; what is not a number is false.
bool ReadYesNo(std::string_view Value);
// Comma list: items separated by commas or blanks, "quoted" items with "" for a quote. Appends to
// Target; sets *Unclosed when a quoted item lacks its closing quote (it then runs to the end).
void ReadCommaList(std::string_view Value, TStringList& Target, bool* Unclosed = nullptr);

class TRegistryTweak {
public:
    std::string TweakID;
    std::string Company;
    std::string Product;
    std::string Title;
    std::string Description;
    std::string TechRefUrl;
    HKEY RegRootKey = nullptr;
    std::string RegKeyPath;
    std::string RegValueName;
    TRegDataType RegDataType = TRegDataType::rdUnknown;
    bool RegBooleanDecision = false;
    bool OfferFilenamePicker = false;
    TStringList Categories;
    TStringList Suggestions;
};

// The catalogue remembers, for the search box's sake, each tweak's sort ranks, recent sort results
// and a copy of the searched texts. Loading, AddTweak and Clear renew them; code that changes the
// Title, Company, Product, Description, RegKeyPath or RegValueName of a tweak already in the
// catalogue calls TweaksChanged before the next sort or search.
class TRegistryTweakList {
public:
    TRegistryTweakList();
    ~TRegistryTweakList();
    TRegistryTweakList(const TRegistryTweakList&) = delete;
    TRegistryTweakList& operator=(const TRegistryTweakList&) = delete;
    TRegistryTweakList(TRegistryTweakList&&) noexcept;
    TRegistryTweakList& operator=(TRegistryTweakList&&) noexcept;

    // Reads a tweak file and appends its tweaks. A missing file adds nothing; one that exists but
    // cannot be opened raises EFOpenError, and then nothing is added or cleared.
    void LoadFromFile(const std::string& FileName, bool ClearFirst);
    // One tweak per section, taken in the sections' locale-aware, case-ignoring order.
    void LoadFromIni(const TMemIniFile& Ini, bool ClearFirst);
    // Appends a tweak with empty texts and lists, both flags false, root key 0 and rdUnknown.
    TRegistryTweak* AddTweak();
    void Clear();
    // Forgets what the sorts and the search remembered of the tweaks' texts.
    void TweaksChanged();

    int Count() const { return static_cast<int>(FItems.size()); }
    TRegistryTweak* Items(int Index) const { return FItems[static_cast<std::size_t>(Index)]; }

    // Append each distinct value, in the order first met, using Target's own look-up.
    void ListCategories(TStringList& Target) const;
    void ListCompanies(TStringList& Target) const;
    void ListProducts(TStringList& Target) const;

    // Stable in-place sorts, locale-aware with case ignored.
    void SortByTitle();
    void SortByCompany();
    void SortByProduct();

    // Each rebuilds the visible set in catalogue order and returns its size.
    int FilterByCategory(const std::string& Category);
    int FilterByCompany(const std::string& Company);
    int FilterByProduct(const std::string& Product);
    // Title, Description, RegKeyPath, RegValueName through the compare-rule matcher (plain term:
    // case-insensitive substring). A matcher error passes to the caller.
    int FilterBySearchTerm(const std::string& Term);

    int VisibleCount() const { return static_cast<int>(FVisible.size()); }
    // Index must lie below VisibleCount.
    TRegistryTweak* Visible(int Index) const { return FVisible[static_cast<std::size_t>(Index)]; }
    void AddVisible(TRegistryTweak* Tweak) { FVisible.push_back(Tweak); }

private:
    struct TIndex;
    TIndex& Index();
    void SortBy(int Field);
    void SetOrder(std::vector<std::uint32_t> Order);

    // The tweaks in the order they were added; a tweak's place here is its slot.
    std::vector<std::unique_ptr<TRegistryTweak>> FOwned;
    // The catalogue order, and the slot of each of its tweaks.
    std::vector<TRegistryTweak*> FItems;
    std::vector<std::uint32_t> FOrder;
    std::vector<TRegistryTweak*> FVisible;
    std::unique_ptr<TIndex> FIndex; // built when first needed
};
