// The sorts and the search remember work between calls; whatever they remember, every result must
// be that of the plain definitions: a stable sort by the locale sort key, and the compare rule tried
// on each searched field of each tweak in catalogue order.
#include "catalogue/hlvMemIniFile.h"
#include "catalogue/hlvRegTweakList.h"
#include "catalogue/tests/TempDir.h"
#include "matching/vxStringCompare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>

namespace {

enum TField { Title, Company, Product };

const std::string& Text(const TRegistryTweak* t, TField f) {
    return f == Title ? t->Title : f == Company ? t->Company : t->Product;
}

// The catalogue as the plain definitions leave it, kept beside the real one.
class TModel {
public:
    explicit TModel(const TRegistryTweakList& List) {
        for (int i = 0; i < List.Count(); ++i)
            Order.push_back(List.Items(i));
    }
    void Sort(TField f) {
        std::stable_sort(Order.begin(), Order.end(), [f](const TRegistryTweak* a, const TRegistryTweak* b) {
            return LocaleSortKey(Text(a, f)) < LocaleSortKey(Text(b, f));
        });
    }
    std::vector<const TRegistryTweak*> Search(const std::string& Term) const {
        std::vector<const TRegistryTweak*> found;
        for (const TRegistryTweak* t : Order)
            for (const std::string* s : {&t->Title, &t->Description, &t->RegKeyPath, &t->RegValueName})
                if (MatchesCompareRule(*s, Term, true, scmSubString)) {
                    found.push_back(t);
                    break;
                }
        return found;
    }
    std::vector<const TRegistryTweak*> Order;
};

void Sort(TRegistryTweakList& List, TField f) {
    f == Title ? List.SortByTitle() : f == Company ? List.SortByCompany() : List.SortByProduct();
}

std::vector<const TRegistryTweak*> Items(const TRegistryTweakList& List) {
    std::vector<const TRegistryTweak*> v;
    for (int i = 0; i < List.Count(); ++i)
        v.push_back(List.Items(i));
    return v;
}

std::vector<const TRegistryTweak*> Visible(const TRegistryTweakList& List) {
    std::vector<const TRegistryTweak*> v;
    for (int i = 0; i < List.VisibleCount(); ++i)
        v.push_back(List.Visible(i));
    return v;
}

// Every method, terms that would match only across the end of a field or of a tweak, anchors.
const std::vector<std::string> Terms = {"proxy",
                                        "PROXY",
                                        "ab",
                                        "cd",
                                        "gh",
                                        "hi",
                                        "e",
                                        "\xc3\xa9",
                                        "",
                                        "<wc>*proxy*",
                                        "<wc>*",
                                        "<wc>",
                                        "<wc>ab*",
                                        "<wc>*e?e*",
                                        "<substr>ee",
                                        "<bm>ee",
                                        "<bool>proxy OR cache AND NOT abc",
                                        "<pcre>^e",
                                        "<pcre>c$",
                                        "<regexpr>^(ab|cd)$",
                                        "<regexpr>prox[yi]",
                                        "abc"};

void ExpectSearches(TRegistryTweakList& List, const TModel& Model) {
    for (const std::string& term : Terms) {
        const auto expected = Model.Search(term);
        EXPECT_EQ(List.FilterBySearchTerm(term), static_cast<int>(expected.size())) << term;
        ASSERT_EQ(Visible(List), expected) << term;
    }
}

// Sequences that return to orders seen before, as the search action's do, and others that evict
// what was remembered.
void ExpectSortsAndSearches(TRegistryTweakList& List, unsigned Seed) {
    TModel model(List);
    std::vector<TField> steps;
    for (int round = 0; round < 4; ++round)
        steps.insert(steps.end(), {Title, Product, Company});
    std::mt19937 random(Seed);
    for (int i = 0; i < 30; ++i)
        steps.push_back(static_cast<TField>(random() % 3));
    for (int round = 0; round < 3; ++round)
        steps.insert(steps.end(), {Title, Product, Company});
    for (std::size_t i = 0; i < steps.size(); ++i) {
        Sort(List, steps[i]);
        model.Sort(steps[i]);
        ASSERT_EQ(Items(List), model.Order) << "after sort " << i;
        if (i % 7 == 2 || i + 1 == steps.size())
            ExpectSearches(List, model);
    }
}

// Equal keys, case-only and accent-only differences, empty fields, and fields whose ends and
// beginnings together spell a term.
const char* const Tricky =
    "[a]\nTitle=abc\nCompany=Contoso\nProduct=Shell\nDescription=def\nRegKeyPath=gh\nRegValueName=\n"
    "[b]\nTitle=ABC\nCompany=contoso\nProduct=shell\nRegKeyPath=ij\nRegValueName=proxy\n"
    "[c]\nTitle=\xc3\xa9t\xc3\xa9\nCompany=Fabrikam\nProduct=\nDescription=Proxy cache\n"
    "[d]\nTitle=ete\nCompany=\nProduct=Shell\nRegValueName=ab\n"
    "[e]\nTitle=\xc3\x89t\xc3\xa9\nCompany=Fabrikam\nProduct=Apps\nRegKeyPath=Software\\PROX\nRegValueName="
    "Y\n"
    "[f]\nTitle=\nCompany=CONTOSO\nProduct=Shell\nDescription=eee\n"
    "[g]\nTitle=Abc\nCompany=Contoso\nProduct=\xc3\x89"
    "cran\nDescription=cd\n";

TEST(RememberedWork, TrickyFixtureMatchesThePlainDefinitions) {
    TMemIniFile ini;
    ini.SetText(Tricky);
    for (unsigned seed : {1u, 2u, 3u}) {
        TRegistryTweakList list;
        list.LoadFromIni(ini, false);
        ExpectSortsAndSearches(list, seed);
    }
}

TEST(RememberedWork, ChangedAndAddedTweaksAreSeen) {
    TMemIniFile ini;
    ini.SetText(Tricky);
    TRegistryTweakList list;
    list.LoadFromIni(ini, false);
    for (TField f : {Title, Product, Company, Title, Product, Company})
        Sort(list, f);
    EXPECT_EQ(list.FilterBySearchTerm("zzz"), 0);

    list.Items(0)->Title = "zzz";
    list.Items(1)->Company = "Aaa";
    list.TweaksChanged();
    TModel model(list);
    for (TField f : {Title, Product, Company}) {
        Sort(list, f);
        model.Sort(f);
        EXPECT_EQ(Items(list), model.Order);
    }
    EXPECT_EQ(list.FilterBySearchTerm("zzz"), 1);

    // A tweak added after the sorts takes part in the next ones, filled in before them.
    TRegistryTweak* added = list.AddTweak();
    added->Title = "Aardvark zzz";
    added->Company = "Contoso";
    ExpectSortsAndSearches(list, 4);
    EXPECT_EQ(list.FilterBySearchTerm("zzz"), 2);
}

TEST(RememberedWork, SearchErrorLeavesWhatPassedBeforeIt) {
    TMemIniFile ini;
    ini.SetText(Tricky);
    TRegistryTweakList list;
    list.LoadFromIni(ini, false);
    list.SortByTitle();
    EXPECT_GT(list.FilterBySearchTerm("e"), 0);
    EXPECT_THROW(list.FilterBySearchTerm("<pcre>(unclosed"), ECompareRuleError);
    EXPECT_EQ(list.VisibleCount(), 0);
    EXPECT_THROW(list.FilterBySearchTerm("<regexpr>"), ECompareRuleError);
    EXPECT_EQ(list.VisibleCount(), 0);
}

// The synthetic catalogue of the benchmarks, in a small size; the generator's path comes from the
// build (GORVANE_GEN_CATALOGUE).
TEST(RememberedWork, GeneratedCatalogueMatchesThePlainDefinitions) {
    const char* gen = std::getenv("GORVANE_GEN_CATALOGUE");
    if (!gen || !*gen)
        GTEST_SKIP() << "GORVANE_GEN_CATALOGUE is not set";
    TempDir dir;
    const std::string out = (dir.Path() / "gen").string();
    const std::string command =
        std::string("\"") + gen + "\" \"" + out + "\" --files 8 --tweaks 150 --seed 3 >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(out))
        files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    TRegistryTweakList list;
    for (const std::string& f : files)
        list.LoadFromFile(f, false);
    ASSERT_EQ(list.Count(), 1200);
    ExpectSortsAndSearches(list, 5);
}

} // namespace
