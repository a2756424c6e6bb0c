// The tweak panel: the editor by data type, what placement reads, Apply and Undo with their backup
// values, the file picker, the reference link, and refused writes.
#include "app/tests/GuiTest.h"

#include "registry/RegBackend.h"
#include "registry/hlvRegTools.h"
#include "registry/store/RegStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <fstream>

namespace {

// Forwards to the store; refuses to open keys below HKEY_LOCAL_MACHINE for writing when asked,
// fails the write of one chosen value, and records the names of the values written, in order.
class TGuardBackend final : public TRegBackend {
public:
    bool RefuseMachineWrites = false;
    std::string FailValue = "\x01"; // no such value name by default
    std::vector<std::string> Written;

    LONG OpenKeyEx(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) override {
        if (Refused(key, desired))
            return ERROR_ACCESS_DENIED;
        return Inner.OpenKeyEx(key, subKey, options, desired, result);
    }
    LONG CreateKeyEx(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR className, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) override {
        if (Refused(key, KEY_CREATE_SUB_KEY))
            return ERROR_ACCESS_DENIED;
        return Inner.CreateKeyEx(key, subKey, reserved, className, options, desired, security, result,
                                 disposition);
    }
    LONG CloseKey(HKEY key) override { return Inner.CloseKey(key); }
    LONG QueryValueEx(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size) override {
        return Inner.QueryValueEx(key, valueName, reserved, type, data, size);
    }
    LONG SetValueEx(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size) override {
        Written.emplace_back(valueName ? valueName : "");
        if (Written.back() == FailValue)
            return ERROR_ACCESS_DENIED;
        return Inner.SetValueEx(key, valueName, reserved, type, data, size);
    }
    LONG DeleteValue(HKEY key, LPCSTR valueName) override { return Inner.DeleteValue(key, valueName); }
    LONG EnumKeyEx(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR className,
                   LPDWORD classSize, void* lastWriteTime) override {
        return Inner.EnumKeyEx(key, index, name, nameSize, reserved, className, classSize, lastWriteTime);
    }
    LONG EnumValue(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameSize, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataSize) override {
        return Inner.EnumValue(key, index, valueName, valueNameSize, reserved, type, data, dataSize);
    }
    LONG DeleteKeyEx(HKEY key, LPCSTR subKey, REGSAM view, DWORD reserved) override {
        return Inner.DeleteKeyEx(key, subKey, view, reserved);
    }
    LONG DeleteTree(HKEY key, LPCSTR subKey) override { return Inner.DeleteTree(key, subKey); }

private:
    bool Refused(HKEY key, REGSAM desired) const {
        return RefuseMachineWrites && key == HKEY_LOCAL_MACHINE &&
               (desired & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0;
    }
    TRegBackend& Inner = SystemRegBackend();
};

class Panel : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        Previous = SetRegBackend(&Guard);
    }
    void TearDown() override {
        GuiTest::TearDown();
        SetRegBackend(Previous);
    }
    // Opens the window over one tweak file and searches for Term; returns the one panel found.
    TTweakPanel* Show(const std::string& Ini, const QString& Term) {
        WriteTweakFile("t.ini", Ini);
        Open();
        Search(Term);
        EXPECT_EQ(Form->Panels().size(), 1u);
        return Form->Panels().empty() ? nullptr : Form->Panels().front();
    }
    TTweakPanel* Reshow(const QString& Term) {
        Search({});
        Search(Term);
        return Form->Panels().empty() ? nullptr : Form->Panels().front();
    }
    static void Click(QToolButton* Button) { QTest::mouseClick(Button, Qt::LeftButton); }
    static void Retype(QLineEdit* Edit, const QString& Text) {
        Edit->selectAll();
        QTest::keyClicks(Edit, Text);
    }

    TGuardBackend Guard;
    TRegBackend* Previous = nullptr;
};

TEST(TryStrToInt, NumbersAsTheDesignReadsThem) {
    const struct {
        const char* Text;
        bool Ok;
        std::int32_t Value;
    } cases[] = {
        {"5", true, 5},
        {"  -7", true, -7},
        {"+12", true, 12},
        {"$1F", true, 31},
        {"0x1F", true, 31},
        {"0X1f", true, 31},
        {"$FFFFFFFF", true, -1},
        {"-$10", true, -16},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, INT32_MIN},
        {"2147483648", false, 0},
        {"$100000000", false, 0},
        {"12a", false, 0},
        {"", false, 0},
        {"0x", false, 0},
        {"$", false, 0},
        {"1 ", false, 0},
        {"- 1", false, 0},
    };
    for (const auto& c : cases) {
        std::int32_t value = 0x5eed;
        EXPECT_EQ(TryStrToInt(c.Text, value), c.Ok) << c.Text;
        EXPECT_EQ(value, c.Ok ? c.Value : 0x5eed) << c.Text;
    }
}

TEST_F(Panel, TheEditorFollowsTheDataType) {
    const struct {
        const char* Extra;
        const char* Editor; // object name of the one editor, or empty
    } cases[] = {
        {"RegDataType=REG_SZ\nSuggestions=a,b", "ComboBoxTweak"},
        {"RegDataType=REG_SZ", "EditTweak"},
        {"RegDataType=REG_DWORD\nRegBooleanDecision=1", "CheckboxTweak"},
        {"RegDataType=REG_DWORD", "EditTweak"},
        {"RegDataType=REG_BINARY", ""},
        {"RegDataType=REG_EXPAND_SZ", ""},
    };
    std::string ini;
    for (int i = 0; i < 6; ++i)
        ini += TweakSection("t" + std::to_string(i), "Kind " + std::to_string(i),
                            std::string(cases[i].Extra) + "\nRegValueName=v" + std::to_string(i));
    WriteTweakFile("t.ini", ini);
    Open();
    for (int i = 0; i < 6; ++i) {
        Search("Kind " + QString::number(i));
        ASSERT_EQ(Form->Panels().size(), 1u);
        TTweakPanel* panel = Form->Panels().front();
        const QString expected = QString::fromLatin1(cases[i].Editor);
        for (const char* name : {"ComboBoxTweak", "EditTweak", "CheckboxTweak"})
            EXPECT_EQ(panel->findChild<QWidget*>(name) != nullptr, expected == name)
                << cases[i].Extra << name;
        EXPECT_FALSE(panel->ButtonSave->isEnabled());
        EXPECT_FALSE(panel->ButtonUndo->isEnabled());
        EXPECT_EQ(panel->ButtonSave->text(), "Apply");
        EXPECT_EQ(panel->ButtonUndo->text(), "Undo");
        if (expected.isEmpty()) {
            Click(panel->ButtonSave);
            EXPECT_TRUE(Guard.Written.empty());
        }
    }
}

TEST_F(Panel, TextTweakAppliesAndUndoesWithItsBackup) {
    // Stored as REG_EXPAND_SZ: shown unexpanded, written back as REG_SZ.
    PutText("Shell", "%SystemRoot%\\own.exe", REG_EXPAND_SZ);
    TTweakPanel* panel = Show(
        TweakSection("s", "Shell", "RegDataType=REG_SZ\nRegValueName=Shell\nSuggestions=a,b,c"), "Shell");
    ASSERT_NE(panel->ComboBoxTweak, nullptr);
    QStringList items;
    for (int i = 0; i < panel->ComboBoxTweak->count(); ++i)
        items << panel->ComboBoxTweak->itemText(i);
    EXPECT_EQ(items, QStringList({"a", "b", "c"}));
    EXPECT_EQ(panel->ComboBoxTweak->currentText(), "%SystemRoot%\\own.exe");

    panel->ComboBoxTweak->setCurrentIndex(1);
    EXPECT_TRUE(panel->ButtonSave->isEnabled());
    Click(panel->ButtonSave);
    EXPECT_EQ(Text("Shell"), "b");
    EXPECT_EQ(Type("Shell"), REG_SZ);
    EXPECT_EQ(Text("Shell (undo backup)"), "%SystemRoot%\\own.exe");
    EXPECT_FALSE(panel->ButtonSave->isEnabled());
    EXPECT_TRUE(panel->ButtonUndo->isEnabled());

    // A later run reads the backup: Undo is enabled with the backup as its hint.
    panel = Reshow("Shell");
    EXPECT_EQ(panel->ComboBoxTweak->currentText(), "b");
    EXPECT_TRUE(panel->ButtonUndo->isEnabled());
    EXPECT_EQ(panel->ButtonUndo->toolTip(), "%SystemRoot%\\own.exe");
    Click(panel->ButtonUndo);
    EXPECT_EQ(Text("Shell"), "%SystemRoot%\\own.exe");
    EXPECT_EQ(panel->ComboBoxTweak->currentText(), "%SystemRoot%\\own.exe");
    Click(panel->ButtonUndo);
    EXPECT_EQ(Text("Shell (undo backup)"), "%SystemRoot%\\own.exe") << "Undo never removes the backup";
}

TEST_F(Panel, NumberTweakWithoutValueCreatesItAndABackupOfZero) {
    TTweakPanel* panel =
        Show(TweakSection("n", "Delay", "RegDataType=REG_DWORD\nRegValueName=Delay"), "Delay");
    ASSERT_NE(panel->EditTweak, nullptr);
    EXPECT_EQ(panel->EditTweak->text(), "");
    QTest::keyClicks(panel->EditTweak, "5");
    Click(panel->ButtonSave);
    EXPECT_EQ(Number("Delay"), 5);
    EXPECT_EQ(Number("Delay (undo backup)"), 0);
    Click(panel->ButtonUndo);
    EXPECT_EQ(Number("Delay"), 0) << "Undo writes the backup instead of removing the value";
    EXPECT_EQ(panel->EditTweak->text(), "0");

    for (const auto& [text, value] : {std::pair{"$1F", 31}, {"0x1F", 31}, {"-12", -12}}) {
        Retype(panel->EditTweak, text);
        Click(panel->ButtonSave);
        EXPECT_EQ(Number("Delay"), value) << text;
    }
    EXPECT_EQ(Number("Delay (undo backup)"), 31) << "each Apply backs up what the one before wrote";
    EXPECT_TRUE(Dialogs.MessageBoxes.empty());
}

TEST_F(Panel, NumberTweakRejectsText) {
    PutNumber("Delay", 9);
    TTweakPanel* panel =
        Show(TweakSection("n", "Delay", "RegDataType=REG_DWORD\nRegValueName=Delay"), "Delay");
    EXPECT_EQ(panel->EditTweak->text(), "9");
    Retype(panel->EditTweak, "12a");
    Guard.Written.clear();
    Click(panel->ButtonSave);
    ASSERT_EQ(Dialogs.MessageBoxes.size(), 1u);
    EXPECT_EQ(Dialogs.MessageBoxes[0].Text,
              "You need to enter a number, without any text. Please edit and try "
              "again, your change was not saved!");
    EXPECT_EQ(Dialogs.MessageBoxes[0].Type, TMsgDlgType::mtError);
    EXPECT_EQ(Dialogs.MessageBoxes[0].Buttons, static_cast<TMsgDlgButtons>(mbOK));
    EXPECT_TRUE(Guard.Written.empty());
    EXPECT_EQ(Number("Delay"), 9);
    EXPECT_FALSE(panel->ButtonSave->isEnabled());
    EXPECT_TRUE(panel->ButtonUndo->isEnabled());
}

TEST_F(Panel, SwitchTweakTicksAndGraysAsStored) {
    PutNumber("Two", 2);
    WriteTweakFile(
        "t.ini",
        TweakSection("a", "Two & more", "RegDataType=REG_DWORD\nRegBooleanDecision=1\nRegValueName=Two") +
            TweakSection("b", "Missing", "RegDataType=REG_DWORD\nRegBooleanDecision=1\nRegValueName=Gone"));
    Open();
    for (const char* title : {"Two", "Missing"}) {
        Search(title);
        TTweakPanel* panel = Form->Panels().front();
        QCheckBox* box = panel->CheckboxTweak;
        ASSERT_NE(box, nullptr);
        const bool missing = std::string(title) == "Missing";
        EXPECT_EQ(box->checkState(), missing ? Qt::PartiallyChecked : Qt::Unchecked) << title;
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_EQ(box->checkState(), Qt::Checked) << title;
        EXPECT_TRUE(panel->ButtonSave->isEnabled());
        Click(panel->ButtonSave);
        const std::string name = missing ? "Gone" : "Two";
        EXPECT_EQ(Number(name), 1);
        EXPECT_EQ(Number(name + " (undo backup)"), 0);
        QTest::mouseClick(box, Qt::LeftButton);
        EXPECT_EQ(box->checkState(), Qt::Unchecked) << "once ticked, the box only ticks and unticks";
    }
    Search("Two");
    EXPECT_EQ(Form->Panels().front()->CheckboxTweak->text(), "Two && more") << "shown as \"Two & more\"";
    EXPECT_EQ(Form->Panels().front()->ButtonUndo->toolTip(), "False");
}

TEST_F(Panel, PickFilenameProposesTheTextAndFillsTheEditor) {
    PutText("Path", "/old/file");
    TTweakPanel* panel = Show(
        TweakSection("p", "Path", "RegDataType=REG_SZ\nRegValueName=Path\nOfferFilenamePicker=1"), "Path");
    ASSERT_NE(panel->ButtonPickFilenme, nullptr);
    EXPECT_EQ(panel->ButtonPickFilenme->text(), "Pick filename...");
    EXPECT_TRUE(panel->ButtonPickFilenme->isEnabled());
    Dialogs.FileNames = {std::nullopt, QString("/new/file")};
    Click(panel->ButtonPickFilenme);
    EXPECT_EQ(panel->EditTweak->text(), "/old/file") << "cancelled";
    EXPECT_FALSE(panel->ButtonSave->isEnabled());
    Click(panel->ButtonPickFilenme);
    ASSERT_EQ(Dialogs.FileDialogs.size(), 2u);
    EXPECT_EQ(Dialogs.FileDialogs[1].ProposedFileName, "/old/file");
    EXPECT_EQ(panel->EditTweak->text(), "/new/file");
    EXPECT_TRUE(panel->ButtonSave->isEnabled());
    EXPECT_EQ(Text("Path"), "/old/file") << "the registry changes only with Apply";
}

TEST_F(Panel, OnlyWebAddressesAreOpened) {
    const struct {
        const char* Address;
        bool Opened;
    } cases[] = {
        {"https://example.org/kb?a=1&b=2", true},
        {"HTTP://example.org/", true},
        {"file:///usr/bin/xterm", false},
        {"/usr/bin/xterm", false},
        {"calc.exe", false},
        {"javascript:alert(1)", false},
        {"https://", false},
    };
    std::string ini;
    for (int i = 0; i < 7; ++i)
        ini += TweakSection("l" + std::to_string(i), "Link " + std::to_string(i),
                            std::string("TechRefUrl=") + cases[i].Address);
    WriteTweakFile("t.ini", ini);
    Open();
    for (int i = 0; i < 7; ++i) {
        Search("Link " + QString::number(i));
        TTweakPanel* panel = Form->Panels().front();
        ASSERT_NE(panel->LinkLabel, nullptr);
        EXPECT_EQ(panel->LinkLabel->text(), cases[i].Address) << "shown as written";
        Dialogs.OpenedAddresses.clear();
        QTest::mouseClick(panel->LinkLabel, Qt::LeftButton);
        EXPECT_EQ(Dialogs.OpenedAddresses, cases[i].Opened ? QStringList{cases[i].Address} : QStringList{})
            << cases[i].Address;
    }
}

TEST_F(Panel, TextsAreShownAsWritten) {
    TTweakPanel* panel = Show(
        TweakSection("t", "Save & <b>Exit</b>", "Company=A&B\nProduct=Tool\nDescription=Uses <i>&</i> as is"),
        "Exit");
    EXPECT_EQ(panel->LabelTitle->text(), "Save & <b>Exit</b>");
    EXPECT_EQ(panel->LabelProduct->text(), "A&B Tool");
    EXPECT_EQ(panel->LabelDescription->text(), "Uses <i>&</i> as is");
    EXPECT_EQ(panel->LabelDescription->textFormat(), Qt::PlainText);
    EXPECT_EQ(panel->LinkLabel, nullptr);
}

// A refused write says so, keeps the current and backup fields and leaves Apply enabled for
// another try.
TEST_F(Panel, ARefusedWriteIsReportedAndCanBeRetried) {
    ASSERT_TRUE(RegistryWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "v0", 32, "old"));
    ASSERT_TRUE(RegistryWriteString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "v0 (undo backup)", 32, "older"));
    for (const char* name : {"v1", "v2"}) {
        ASSERT_TRUE(
            RegistryWriteInteger(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", name, 32, name[1] == '1' ? 3 : 1));
        ASSERT_TRUE(RegistryWriteInteger(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test",
                                         std::string(name) + SUndoBackupSuffix, 32, name[1] == '1' ? 2 : 0));
    }
    const char* const kinds[] = {"RegDataType=REG_SZ", "RegDataType=REG_DWORD",
                                 "RegDataType=REG_DWORD\nRegBooleanDecision=1"};
    std::string ini;
    for (int i = 0; i < 3; ++i)
        ini += "[m" + std::to_string(i) + "]\nTitle=Machine " + std::to_string(i) +
               "\nRegRootKey=HKLM\nRegKeyPath=SOFTWARE\\Test\nRegValueName=v" + std::to_string(i) + "\n" +
               kinds[i] + "\n";
    WriteTweakFile("t.ini", ini);
    Open();
    Guard.RefuseMachineWrites = true;
    for (int i = 0; i < 3; ++i) {
        Search("Machine " + QString::number(i));
        TTweakPanel* panel = Form->Panels().front();
        if (panel->CheckboxTweak)
            QTest::mouseClick(panel->CheckboxTweak, Qt::LeftButton);
        else
            QTest::keyClicks(panel->findChild<QLineEdit*>("EditTweak"), "7");
        Dialogs.MessageBoxes.clear();
        Click(panel->ButtonSave);
        ASSERT_EQ(Dialogs.MessageBoxes.size(), 1u) << kinds[i];
        EXPECT_TRUE(Dialogs.MessageBoxes[0].Text.contains("was not written"));
        EXPECT_TRUE(Dialogs.MessageBoxes[0].Text.contains("administrator"));
        EXPECT_TRUE(panel->ButtonSave->isEnabled());
        EXPECT_EQ(panel->FCurrentText, i == 0 ? "old" : "");
        EXPECT_EQ(panel->FBackupText, i == 0 ? "older" : "");
        EXPECT_EQ(panel->FCurrentNumber, i == 1 ? 3 : 0);
        EXPECT_EQ(panel->FBackupNumber, i == 1 ? 2 : 0);
        EXPECT_EQ(panel->FCurrentSwitch, i == 2);
        EXPECT_FALSE(panel->FBackupSwitch);

        Guard.RefuseMachineWrites = false;
        Click(panel->ButtonSave);
        EXPECT_FALSE(panel->ButtonSave->isEnabled()) << "the retry went through";
        Guard.RefuseMachineWrites = true;
    }
    std::int32_t number = 0;
    EXPECT_TRUE(RegistryReadInteger(HKEY_LOCAL_MACHINE, "SOFTWARE\\Test", "v1", number));
    EXPECT_EQ(number, 37);
}

// The backup goes first on every path; when the value's own write then fails, the value is as it
// was and its backup holds that same content.
TEST_F(Panel, AFailedWriteNamesTheStoresReason) {
    WriteTweakFile("t.ini", TweakSection("t", "Damaged", "RegValueName=v\nRegDataType=REG_SZ"));
    {
        std::ofstream damaged(StoreFolder + "/current-user.db", std::ios::binary);
        damaged << "this is no registry store, and Gorvane must leave it alone\n";
    }
    GorvaneStoreReset();
    Open();
    Search("Damaged");
    TTweakPanel* panel = Form->Panels().front();
    QTest::keyClicks(panel->findChild<QLineEdit*>("EditTweak"), "x");
    Dialogs.MessageBoxes.clear();
    Click(panel->ButtonSave);
    ASSERT_EQ(Dialogs.MessageBoxes.size(), 1u);
    const QString text = Dialogs.MessageBoxes[0].Text;
    EXPECT_TRUE(text.contains("was not written")) << text.toStdString();
    EXPECT_TRUE(text.contains("current-user.db")) << text.toStdString();
    EXPECT_TRUE(panel->ButtonSave->isEnabled());
}

TEST_F(Panel, TheBackupIsWrittenBeforeTheValue) {
    PutText("t", "old");
    PutNumber("n", 4);
    PutNumber("s", 1);
    WriteTweakFile("t.ini", TweakSection("a", "Text", "RegDataType=REG_SZ\nRegValueName=t") +
                                TweakSection("b", "Number", "RegDataType=REG_DWORD\nRegValueName=n") +
                                TweakSection("c", "Switch",
                                             "RegDataType=REG_DWORD\nRegBooleanDecision=1\nRegValueName=s"));
    Open();
    for (const char* name : {"t", "n", "s"}) {
        const QString title = name == std::string("t")   ? "Text"
                              : name == std::string("n") ? "Number"
                                                         : "Switch";
        Search(title);
        TTweakPanel* panel = Form->Panels().front();
        if (panel->EditTweak)
            Retype(panel->EditTweak, "8");
        else
            QTest::mouseClick(panel->CheckboxTweak, Qt::LeftButton);
        Guard.Written.clear();
        Guard.FailValue = name;
        Dialogs.MessageBoxes.clear();
        Click(panel->ButtonSave);
        const std::string backup = std::string(name) + " (undo backup)";
        EXPECT_EQ(Guard.Written, (std::vector<std::string>{backup, name})) << name;
        EXPECT_EQ(Dialogs.MessageBoxes.size(), 1u) << name;
        EXPECT_TRUE(panel->ButtonSave->isEnabled());
        Guard.FailValue = "\x01";
    }
    EXPECT_EQ(Text("t"), "old");
    EXPECT_EQ(Text("t (undo backup)"), "old");
    EXPECT_EQ(Number("n"), 4);
    EXPECT_EQ(Number("n (undo backup)"), 4);
    EXPECT_EQ(Number("s"), 1);
    EXPECT_EQ(Number("s (undo backup)"), 1);
}

} // namespace
