// The main window: start-up, the four filter actions and the order of the panels, the search
// box's errors, unreadable tweak files, scrolling and window placement.
#include "app/tests/GuiTest.h"

#include "catalogue/hlvRegTweakList.h"
#include "registry/hlvRegTools.h"
#include "settings/hlvConfig.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include <filesystem>

namespace {

QStringList Items(const QComboBox* List) {
    QStringList items;
    for (int i = 0; i < List->count(); ++i)
        items << List->itemText(i);
    return items;
}

// Two files; b.ini's sections come in reverse name order to show the sort within a file.
class MainWindow : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        WriteTweakFile("b.ini",
                       TweakSection("z", "Zoom", "Company=Acme\nProduct=Paint\nCategories=Tools") +
                           TweakSection("y", "Yank", "Company=Acme\nProduct=Edit\nCategories=Tools"));
        WriteTweakFile("a.ini",
                       TweakSection("a", "Alpha", "Company=Zeta\nProduct=Word\nCategories=Office,Tools") +
                           TweakSection("b", "Beta", "Company=zeta\nProduct=Word\nCategories=office") +
                           TweakSection("c", "Gamma", "Company=Acme\nProduct=Calc\nCategories=Office"));
    }
};

TEST_F(MainWindow, StartUpFillsThePickListsAndShowsNoPanel) {
    TFormGorvane& form = Open();
    EXPECT_EQ(form.objectName(), "FormGorvane");
    EXPECT_EQ(form.windowTitle(), "Gorvane");
    EXPECT_EQ(form.TweakList()->Count(), 5);
    EXPECT_EQ(form.TweakList()->Items(0)->Product, "Calc") << "the catalogue is in product order";
    // As first met (a.ini before b.ini), one entry for "Office"/"office" and for "Zeta"/"zeta".
    EXPECT_EQ(Items(form.cbCategory), QStringList({"Office", "Tools"}));
    EXPECT_EQ(Items(form.cbCompany), QStringList({"Acme", "Zeta"}));
    EXPECT_EQ(Items(form.cbProduct), QStringList({"Calc", "Edit", "Paint", "Word"}));
    for (const QComboBox* list : {form.cbCategory, form.cbCompany, form.cbProduct}) {
        EXPECT_EQ(list->currentIndex(), -1);
        EXPECT_FALSE(list->isEditable());
        EXPECT_EQ(list->maxVisibleItems(), 32);
    }
    EXPECT_TRUE(form.rbFilterSearchTerm->isChecked());
    EXPECT_TRUE(form.editSearchTerm->hasFocus());
    EXPECT_TRUE(form.Panels().empty());
    EXPECT_TRUE(form.labelInfo->isVisible());
    EXPECT_FALSE(form.labelLoadProblems->isVisible());
    EXPECT_EQ(form.rbFilterCategory->text(), "Tweaks for this category:");
    EXPECT_EQ(form.rbFilterSearchTerm->text(), "Tweaks containing this term:");
    EXPECT_GE(form.minimumWidth(), 400);
}

TEST_F(MainWindow, EachFilterOrdersItsPanelsFromTheLastTweakAtTheTop) {
    TFormGorvane& form = Open();
    // Category: no sort of its own, so the start-up product order, last product on top.
    form.cbCategory->setCurrentIndex(0);
    emit form.cbCategory->activated(0);
    EXPECT_TRUE(form.rbFilterCategory->isChecked());
    EXPECT_EQ(TitlesTopToBottom(), QStringList({"Beta", "Alpha", "Gamma"}));
    EXPECT_TRUE(form.sbMain->hasFocus());

    // Company "Acme": grouped by product, the last product on top.
    form.cbCompany->setCurrentIndex(0);
    emit form.cbCompany->activated(0);
    EXPECT_TRUE(form.rbFilterCompany->isChecked());
    EXPECT_FALSE(form.rbFilterCategory->isChecked());
    EXPECT_EQ(TitlesTopToBottom(), QStringList({"Zoom", "Yank", "Gamma"}));

    form.cbProduct->setCurrentIndex(3);
    emit form.cbProduct->activated(3);
    EXPECT_EQ(TitlesTopToBottom(), QStringList({"Beta", "Alpha"}));

    form.cbCompany->setCurrentIndex(1);
    emit form.cbCompany->activated(1);
    EXPECT_EQ(TitlesTopToBottom(), QStringList({"Alpha"})) << "the company filter compares exactly";

    // A search (every key path holds an "a"): grouped by company, the last company on top, and
    // labelInfo below all panels.
    form.rbFilterSearchTerm->click();
    Search("a");
    EXPECT_EQ(TitlesTopToBottom(), QStringList({"Beta", "Alpha", "Zoom", "Yank", "Gamma"}));
    EXPECT_GT(form.labelInfo->y(), PanelsTopToBottom().back()->y());
    Search("");
    EXPECT_TRUE(form.Panels().empty());
    EXPECT_TRUE(form.labelInfo->isVisible());
}

TEST_F(MainWindow, RadioButtonsRunTheirActionOnlyWhenNewlySelected) {
    TFormGorvane& form = Open();
    Search("Gamma");
    ASSERT_EQ(form.Panels().size(), 1u);
    const TTweakPanel* before = form.Panels().front();
    QTest::mouseClick(form.rbFilterSearchTerm, Qt::LeftButton);
    EXPECT_EQ(form.Panels().front(), before) << "a click on the selected button does nothing";

    // No company chosen: the action filters with the empty text, and no tweak has an empty company.
    QTest::mouseClick(form.rbFilterCompany, Qt::LeftButton);
    EXPECT_TRUE(form.rbFilterCompany->isChecked());
    EXPECT_FALSE(form.rbFilterSearchTerm->isChecked());
    EXPECT_TRUE(form.Panels().empty());

    form.cbProduct->setCurrentIndex(0);
    QTest::mouseClick(form.rbFilterProduct, Qt::LeftButton);
    EXPECT_EQ(TitlesTopToBottom(), QStringList({"Gamma"}));
}

TEST_F(MainWindow, TypingAnIncompletePatternKeepsThePanelsAndSaysWhy) {
    TFormGorvane& form = Open();
    form.editSearchTerm->setFocus();
    Search("<pcre>Gam");
    ASSERT_EQ(TitlesTopToBottom(), QStringList({"Gamma"}));
    QTest::keyClicks(form.editSearchTerm, "(m");
    EXPECT_EQ(form.editSearchTerm->text(), "<pcre>Gam(m") << "every key stroke reached the search box";
    EXPECT_EQ(TitlesTopToBottom(), QStringList({"Gamma"}));
    EXPECT_TRUE(form.labelSearchError->isVisible());
    EXPECT_FALSE(form.labelSearchError->text().isEmpty());
    QTest::keyClicks(form.editSearchTerm, ")");
    EXPECT_FALSE(form.labelSearchError->isVisible());
    EXPECT_EQ(TitlesTopToBottom(), QStringList({"Gamma"}));
    EXPECT_TRUE(form.editSearchTerm->hasFocus());
}

TEST_F(MainWindow, MouseWheelScrollsThePanelList) {
    for (int i = 0; i < 30; ++i)
        WriteTweakFile("many" + std::to_string(i) + ".ini",
                       TweakSection("m" + std::to_string(i), "Many " + std::to_string(i), "Company=Acme"));
    TFormGorvane& form = Open();
    Search("Many");
    ASSERT_EQ(form.Panels().size(), 30u);
    PanelsTopToBottom();
    QScrollBar* bar = form.sbMain->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 400);
    bar->setValue(300);
    // A notch towards the user scrolls down by its delta, once, however deep the widget under it.
    auto turn = [&](int delta) {
        QWidget* viewport = form.sbMain->viewport();
        const QPoint global = viewport->mapToGlobal(QPoint(viewport->width() / 2, 5));
        QWidget* under = QApplication::widgetAt(global);
        ASSERT_NE(under, nullptr);
        QWheelEvent event(under->mapFromGlobal(global), global, {}, QPoint(0, delta), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(under, &event);
    };
    turn(-120);
    EXPECT_EQ(bar->value(), 420);
    turn(240);
    EXPECT_EQ(bar->value(), 180);
}

TEST_F(MainWindow, AnUnreadableTweakFileIsSkippedAndNamedOnce) {
    // Reading this link fails although it opens, for any user.
    std::filesystem::create_symlink("/proc/self/mem",
                                    std::filesystem::path(ProgramFolder) / "Tweaks" / "bad.ini");
    TFormGorvane& form = Open();
    EXPECT_EQ(form.TweakList()->Count(), 5) << "the files on either side of it are read";
    EXPECT_EQ(Items(form.cbProduct).size(), 4);
    EXPECT_TRUE(Dialogs.MessageBoxes.empty());
    EXPECT_TRUE(form.labelLoadProblems->isVisible());
    EXPECT_TRUE(form.labelLoadProblems->text().contains("bad.ini"));
    EXPECT_EQ(form.labelLoadProblems->text().count("bad.ini"), 1);
}

TEST_F(MainWindow, EmptyOrMissingTweaksFolderGivesAnEmptyCatalogue) {
    std::filesystem::remove_all(std::filesystem::path(ProgramFolder) / "Tweaks");
    TFormGorvane& form = Open();
    EXPECT_EQ(form.TweakList()->Count(), 0);
    EXPECT_EQ(form.cbCategory->count(), 0);
    EXPECT_FALSE(form.labelLoadProblems->isVisible());
}

TEST_F(MainWindow, PlacementIsSavedOnCloseAndRestoredOnShow) {
    const std::string key = "Software\\Halvessa Limited\\Guitest\\UI\\Forms\\FormGorvane";
    TFormGorvane& form = Open();
    form.resize(700, 450);
    Search("a");
    Close();
    std::int32_t width = 0, state = -1;
    ASSERT_TRUE(RegistryReadInteger(HKEY_CURRENT_USER, key, "Width", width));
    EXPECT_EQ(width, 700);
    ASSERT_TRUE(RegistryReadInteger(HKEY_CURRENT_USER, key, "WindowState", state));
    EXPECT_EQ(state, 0);

    ASSERT_TRUE(RegistryWriteInteger(HKEY_LOCAL_MACHINE, key, "Height", 32, 480));
    ASSERT_TRUE(RegistryWriteInteger(HKEY_CURRENT_USER, key, "WindowState", 32, 1));
    TFormGorvane& again = Open();
    EXPECT_EQ(again.width(), 700);
    EXPECT_EQ(again.height(), 480) << "the machine's value comes first";
    EXPECT_FALSE(again.windowState() & Qt::WindowMinimized) << "never restored minimised";
}

} // namespace
