#include "catalogue/hlvMemIniFile.h"
#include "catalogue/hlvRegTweakList.h"
#include "matching/vxStringCompare.h"

#include <gtest/gtest.h>

namespace {

// Six tweaks, with companies that differ only in case, a doubled category and fields that a search
// must not look at.
class Catalogue : public testing::Test {
protected:
    void SetUp() override {
        TMemIniFile ini;
        ini.SetText(
            "[t1]\nTitle=Show hidden files\nCompany=Contoso\nProduct=Shell\nCategories=Explorer\n"
            "RegKeyPath=Software\\Contoso\\ADVANCED\nRegValueName=Hidden\n"
            "[t2]\nTitle=Boot logo\nCompany=contoso\nProduct=Boot\nCategories=System,System\n"
            "Description=Hides the logo at start\n"
            "[t3]\nTitle=animations\nCompany=Fabrikam\nProduct=Shell\nCategories=explorer,\"Start Menu\"\n"
            "TechRefUrl=https://example.invalid/needle\n"
            "[t4]\nTitle=Zoom\nCompany=Contoso\nProduct=Apps\nRegValueName=Needle\n"
            "[t5]\nTitle=\xc3\x89"
            "cran\nCompany=Fabrikam\nProduct=needleprod\nCategories=needlecat\n"
            "[t6]\nTitle=Empty company\n");
        List.LoadFromIni(ini, false);
    }
    std::vector<std::string> VisibleIds() const {
        std::vector<std::string> ids;
        for (int i = 0; i < List.VisibleCount(); ++i)
            ids.push_back(List.Visible(i)->TweakID);
        return ids;
    }
    std::vector<std::string> Ids() const {
        std::vector<std::string> ids;
        for (int i = 0; i < List.Count(); ++i)
            ids.push_back(List.Items(i)->TweakID);
        return ids;
    }
    TRegistryTweakList List;
};

using V = std::vector<std::string>;

TEST_F(Catalogue, FacetsListEachValueOnceAsFirstMetAndAppend) {
    TStringList companies;
    companies.Add("Fabrikam");
    List.ListCompanies(companies);
    EXPECT_EQ(companies.Items(), (V{"Fabrikam", "Contoso", ""}));
    TStringList categories;
    List.ListCategories(categories);
    EXPECT_EQ(categories.Items(), (V{"Explorer", "System", "Start Menu", "needlecat"}));
    TStringList products;
    List.ListProducts(products);
    EXPECT_EQ(products.Items(), (V{"Shell", "Boot", "Apps", "needleprod", ""}));
}

TEST_F(Catalogue, StringListLookupIgnoresCaseButNotAccents) {
    TStringList l;
    l.Add("\xc3\xa9t\xc3\xa9");
    l.Add("Explorer");
    EXPECT_EQ(l.IndexOf("EXPLORER"), 1);
    EXPECT_EQ(l.IndexOf("\xc3\x89T\xc3\x89"), 0);
    EXPECT_EQ(l.IndexOf("ete"), -1);
    EXPECT_EQ(l.IndexOf("Explore"), -1);
}

TEST_F(Catalogue, SortsAreLocaleAwareCaseIgnoredAndStable) {
    List.SortByTitle();
    EXPECT_EQ(Ids(), (V{"t3", "t2", "t5", "t6", "t1", "t4"}));
    // Equal products keep the title order of the sort before.
    List.SortByProduct();
    EXPECT_EQ(Ids(), (V{"t6", "t4", "t2", "t5", "t3", "t1"}));
    List.SortByCompany();
    EXPECT_EQ(Ids(), (V{"t6", "t4", "t2", "t1", "t5", "t3"}));
}

TEST_F(Catalogue, FiltersSelectInCatalogueOrder) {
    EXPECT_EQ(List.FilterByCategory("explorer"), 2);
    EXPECT_EQ(VisibleIds(), (V{"t1", "t3"}));
    EXPECT_EQ(List.FilterByCategory("system"), 1); // a doubled category counts once
    EXPECT_EQ(List.FilterByCompany("Contoso"), 2); // byte for byte
    EXPECT_EQ(VisibleIds(), (V{"t1", "t4"}));
    EXPECT_EQ(List.FilterByCompany("CONTOSO"), 0);
    EXPECT_EQ(VisibleIds(), V{});
    EXPECT_EQ(List.FilterByCompany(""), 1);
    List.SortByProduct();
    EXPECT_EQ(List.FilterByProduct("Shell"), 2);
    EXPECT_EQ(List.FilterByCompany("Contoso"), 2);
    EXPECT_EQ(VisibleIds(), (V{"t4", "t1"})); // ordered by product
}

TEST_F(Catalogue, SearchLooksAtTitleDescriptionKeyPathAndValueName) {
    const std::pair<const char*, V> cases[] = {
        {"advanced", {"t1"}}, // key path, case ignored
        {"logo", {"t2"}},     // title and description: listed once
        {"needle", {"t4"}},   // value name; not URL, product or category
        {"contoso", {"t1"}},  // key path only, not company
        {"", {}},             // empty term: nothing
        {"<wc>*o*", {"t1", "t2", "t3", "t4", "t6"}},
        {"<bool>zoom OR boot", {"t2", "t4"}},
        {"<pcre>^(Show|Boot)", {"t1", "t2"}},
    };
    for (const auto& [term, ids] : cases) {
        List.FilterBySearchTerm(term);
        EXPECT_EQ(VisibleIds(), ids) << term;
    }
}

TEST_F(Catalogue, SearchErrorPassesToTheCaller) {
    List.FilterByCompany("Contoso");
    EXPECT_THROW(List.FilterBySearchTerm("<pcre>(unclosed"), ECompareRuleError);
    EXPECT_EQ(List.VisibleCount(), 0);
}

} // namespace
