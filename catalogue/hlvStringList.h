#pragma once
// A plain list of strings: unsorted, duplicates kept. Its look-up compares with the user's locale
// rules and case ignored, the comparison the catalogue's facets and the main window's pick lists use.
#include <string>
#include <string_view>
#include <vector>

// Locale-aware comparison for the user's default locale, case ignored (accents count): <0, 0, >0.
int LocaleCompareText(std::string_view a, std::string_view b);
// A byte string whose plain byte order is the order of LocaleCompareText, for sorting many items.
std::string LocaleSortKey(std::string_view s);
inline bool LocaleSameText(std::string_view a, std::string_view b) {
    return LocaleCompareText(a, b) == 0;
}

class TStringList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& Strings(int Index) const { return FItems[static_cast<std::size_t>(Index)]; }
    const std::string& operator[](int Index) const { return Strings(Index); }
    void Add(std::string S) { FItems.push_back(std::move(S)); }
    void Clear() { FItems.clear(); }
    void Delete(int Index) { FItems.erase(FItems.begin() + Index); }
    // Index of the first entry equal to S by LocaleCompareText, or -1.
    int IndexOf(std::string_view S) const;

    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }
    const std::vector<std::string>& Items() const { return FItems; }

private:
    std::vector<std::string> FItems;
};
