#include "about/hlvUIDlgAbout.h"
#include "about/hlvPEVersions.h"
#include "ui/hlvDialogs.h"
#include "ui/hlvSystemMenu.h"
#include "ui/hlvUIWindows7.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const QString Fixtures = QStringLiteral(GORVANE_ABOUT_FIXTURES);

// A minimal ELF file whose only content is the version section.
std::string WriteElfWithVersion(const fs::path& File, const TVersionBlockData& Data) {
    const auto Block = BuildVersionBlock(Data);
    const std::string Names = std::string("\0", 1) + SVersionSectionName + std::string("\0.shstrtab\0", 11);
    std::vector<std::uint8_t> Image(64, 0);
    std::memcpy(Image.data(),
                "\x7f"
                "ELF\x02\x01\x01",
                7);
    const std::uint64_t BlockAt = Image.size();
    Image.insert(Image.end(), Block.begin(), Block.end());
    const std::uint64_t NamesAt = Image.size();
    Image.insert(Image.end(), Names.begin(), Names.end());
    while (Image.size() % 8)
        Image.push_back(0);
    const std::uint64_t Table = Image.size();
    auto Put = [&](std::size_t At, std::uint64_t Value, int Size) {
        for (int I = 0; I < Size; ++I)
            Image[At + std::size_t(I)] = std::uint8_t(Value >> (8 * I));
    };
    Image.resize(Table + 3 * 64, 0);
    Put(0x28, Table, 8);
    Put(0x3A, 64, 2);
    Put(0x3C, 3, 2);
    Put(0x3E, 2, 2);
    Put(Table + 64 + 0x00, 1, 4); // the version section's name
    Put(Table + 64 + 0x18, BlockAt, 8);
    Put(Table + 64 + 0x20, Block.size(), 8);
    Put(Table + 128 + 0x00, 1 + std::strlen(SVersionSectionName) + 1, 4);
    Put(Table + 128 + 0x18, NamesAt, 8);
    Put(Table + 128 + 0x20, Names.size(), 8);
    std::ofstream(File, std::ios::binary)
        .write(reinterpret_cast<const char*>(Image.data()), std::streamsize(Image.size()));
    return File.string();
}

struct TempDir {
    TempDir() : Path(fs::temp_directory_path() / ("gorvane-about-dlg-" + std::to_string(::getpid()))) {
        fs::create_directories(Path);
    }
    ~TempDir() { fs::remove_all(Path); }
    fs::path Path;
};

class TRecordingForm : public TWindows7Form {
public:
    std::vector<std::uintptr_t> SysCommands;
    void WndProc(TMessage& Message) override {
        TWindows7Form::WndProc(Message);
        if (Message.Msg == WmSysCommand)
            SysCommands.push_back(Message.WParam);
    }

protected:
    void DefaultSysCommand(TMessage&) override {}
};

} // namespace

TEST(AboutDialog, DesignStateWithoutVersionInformation) {
    TdlgAbout Dialog;
    Dialog.SetTitle(QStringLiteral("Gorvane"));
    Dialog.LoadVersionInfo(Fixtures + "/no-resource.exe");
    EXPECT_EQ(Dialog.windowTitle(), "About ...");
    EXPECT_EQ(Dialog.labelProduct->text(), "A quality HLV product");
    EXPECT_EQ(Dialog.labelVersion->text(), "Version unknown");
    EXPECT_EQ(Dialog.labelDescription->text(), "");
    EXPECT_EQ(Dialog.labelLegal->text(), "");
    EXPECT_TRUE(Dialog.bnTranslations->isHidden());
    EXPECT_TRUE(Dialog.bnUpdates->isHidden());
    EXPECT_EQ(Dialog.size(), QSize(393, 209));
    EXPECT_EQ(Dialog.imgHLVLogo->geometry(), QRect(248, 40, 137, 65));
    ASSERT_FALSE(Dialog.imgHLVLogo->pixmap().isNull());
    EXPECT_EQ(Dialog.imgHLVLogo->pixmap().size(), QSize(137, 65));
    EXPECT_EQ(Dialog.bnOk->geometry(), QRect(304, 176, 81, 25));
    EXPECT_TRUE(Dialog.bnOk->isDefault());
}

TEST(AboutDialog, FilledFromTheVersionStrings) {
    TdlgAbout Dialog;
    Dialog.SetTitle(QStringLiteral("Gorvane"));
    Dialog.LoadVersionInfo(Fixtures + "/two-translations.exe");
    EXPECT_EQ(Dialog.windowTitle(), "About Gorvane");
    EXPECT_EQ(Dialog.labelProduct->text(), "Fixture One");
    EXPECT_EQ(Dialog.labelVersion->text(), "Version 1.2.0.7");
    EXPECT_EQ(Dialog.labelDescription->text(), "Registry tweaks 2.0.1.3");
    EXPECT_EQ(Dialog.labelLegal->text(), "\r\nNo marks");
    EXPECT_FALSE(Dialog.bnTranslations->isHidden());

    TDialogTestHook Hook;
    TDialogTestHookScope Scope(Hook);
    QTest::mouseClick(Dialog.bnTranslations, Qt::LeftButton);
    ASSERT_EQ(Hook.MessageBoxes.size(), 1u);
    EXPECT_EQ(Hook.MessageBoxes[0].Text, "German: Translator A\r\nFrench: Translator B\r\n");
    EXPECT_EQ(Hook.MessageBoxes[0].Buttons, TMsgDlgButtons(mbOK));
}

TEST(AboutDialog, CaptionVersionAndTextsFromOtherResources) {
    TempDir Dir;
    struct {
        const char* Title;
        const char* ProductVersion;
        const char* Caption;
        const char* Version;
    } const Cases[] = {
        {"", "1,2,0,7", "About P & Q", "Version 1.2.0.7"},
        {"Gorvane", "3, 4, 5, 6", "About Gorvane", "Version 3.4.5.6"},
    };
    for (const auto& Case : Cases) {
        TVersionBlockData Data;
        Data.Tables.push_back({0x0409,
                               0x04E4,
                               {{"ProductName", "P & Q"},
                                {"ProductVersion", Case.ProductVersion},
                                {"FileVersion", "9,8, 7,6"},
                                {"LegalCopyright", "(c) <b>Us</b>"},
                                {"LegalTrademarks", "TM"}}});
        const std::string File = WriteElfWithVersion(Dir.Path / "program", Data);
        TdlgAbout Dialog;
        Dialog.SetTitle(QString::fromUtf8(Case.Title));
        Dialog.LoadVersionInfo(QString::fromStdString(File));
        EXPECT_EQ(Dialog.windowTitle(), Case.Caption);
        EXPECT_EQ(Dialog.labelVersion->text(), Case.Version);
        EXPECT_EQ(Dialog.labelProduct->text(), "P & Q");
        EXPECT_EQ(Dialog.labelProduct->textFormat(), Qt::PlainText);
        EXPECT_EQ(Dialog.labelDescription->text(), " 9.8.7.6");
        EXPECT_EQ(Dialog.labelLegal->text(), "(c) <b>Us</b>\r\nTM");
        EXPECT_TRUE(Dialog.bnTranslations->isHidden());
    }
}

TEST(AboutDialog, ShowAboutDialogReadsTheRunningProgram) {
    bool Shown = false;
    SetAboutDialogHook([&](TdlgAbout& Dialog) {
        Shown = true;
        EXPECT_EQ(Dialog.windowTitle(), "About Gorvane");
        EXPECT_EQ(Dialog.labelProduct->text(), "Gorvane");
        EXPECT_EQ(Dialog.labelVersion->text(), "Version " GORVANE_VERSION);
        EXPECT_TRUE(Dialog.labelLegal->text().contains("Halvessa Limited"));
        EXPECT_FALSE(Dialog.imgIcon->pixmap().isNull());
    });
    ShowAboutDialog(QStringLiteral("Gorvane"));
    SetAboutDialogHook({});
    EXPECT_TRUE(Shown);
}

TEST(SystemMenu, AboutEntryAtPositionSixWithAmpersandsDoubled) {
    struct {
        const char* Title;
        const char* Entry;
    } const Cases[] = {{"Gorvane", "&About Gorvane..."}, {"Tom & Jerry", "&About Tom && Jerry..."}};
    for (const auto& Case : Cases) {
        QApplication::setApplicationDisplayName(QString::fromUtf8(Case.Title));
        TRecordingForm Form;
        AddAboutToSystemMenu(&Form);
        TSystemMenu* Menu = GetSystemMenu(&Form, false);
        ASSERT_NE(Menu, nullptr);
        const QList<QAction*> Items = Menu->actions();
        ASSERT_EQ(Items.size(), 8);
        const std::uintptr_t Expected[] = {ScRestore,  ScMove, ScSize,         ScMinimize,
                                           ScMaximize, 0,      AboutCommandId, ScClose};
        for (int I = 0; I < 8; ++I)
            EXPECT_EQ(TSystemMenu::CommandOf(Items[I]), Expected[I]) << I;
        EXPECT_TRUE(Items[5]->isSeparator());
        EXPECT_EQ(Items[6]->text(), Case.Entry);
    }
    QApplication::setApplicationDisplayName(QStringLiteral("Gorvane"));

    // Windows without a system menu, and no main window at all, are left alone.
    QWidget Plain;
    AddAboutToSystemMenu(&Plain);
    EXPECT_EQ(GetSystemMenu(&Plain), nullptr);
    AddAboutToSystemMenu(nullptr);
}

TEST(SystemMenu, OpensFromKeyboardAndButtonAndSendsItsCommand) {
    TRecordingForm Form;
    AddAboutToSystemMenu(&Form);
    Form.resize(400, 300);
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    TSystemMenu* Menu = GetSystemMenu(&Form);

    QTest::keyClick(&Form, Qt::Key_Space, Qt::AltModifier);
    QTRY_VERIFY_WITH_TIMEOUT(Menu->isVisible(), 5000);
    Menu->hide();

    auto* Button = Form.findChild<QToolButton*>(QStringLiteral("bnSystemMenu"));
    ASSERT_NE(Button, nullptr);
    EXPECT_TRUE(Button->isVisible());
    QTest::mouseClick(Button, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(Menu->isVisible(), 5000);

    Menu->ActionForCommand(AboutCommandId)->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(Form.SysCommands.size(), std::size_t(1), 5000);
    EXPECT_EQ(Form.SysCommands[0], AboutCommandId);
}
