#include "app/tests/GuiTest.h"

#include "app/QtConfigForms.h"
#include "registry/hlvRegTools.h"
#include "registry/store/RegStore.h"
#include "settings/hlvConfig.h"

#include <QApplication>
#include <QLayout>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

const char* const TestKey = "Software\\Test";

std::string MakeTempFolder(const char* Stem) {
    std::string pattern = (std::filesystem::temp_directory_path() / (std::string(Stem) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        return {};
    return pattern;
}

} // namespace

std::string TweakSection(const std::string& Id, const std::string& Title, const std::string& Extra) {
    return "[" + Id + "]\nTitle=" + Title + "\nRegRootKey=HKEY_CURRENT_USER\nRegKeyPath=" + TestKey + "\n" +
           Extra + "\n";
}

void GuiTest::SetUp() {
    StoreFolder = MakeTempFolder("gorvane-gui-store");
    ProgramFolder = MakeTempFolder("gorvane-gui-program");
    ASSERT_FALSE(StoreFolder.empty());
    ASSERT_FALSE(ProgramFolder.empty());
    std::filesystem::create_directory(std::filesystem::path(ProgramFolder) / "Tweaks");
    setenv("GORVANE_REGISTRY_DIR", StoreFolder.c_str(), 1);
    GorvaneStoreReset();
    InitializeConfigManager("Guitest");
    ConfigManager->ApplicationForms = ApplicationConfigForms;
    FHookScope = std::make_unique<TDialogTestHookScope>(Dialogs);
}

void GuiTest::TearDown() {
    Form.reset();
    FHookScope.reset();
    FinalizeConfigManager();
    GorvaneStoreReset();
    std::filesystem::remove_all(StoreFolder);
    std::filesystem::remove_all(ProgramFolder);
}

void GuiTest::WriteTweakFile(const std::string& Name, const std::string& Text) {
    std::ofstream(std::filesystem::path(ProgramFolder) / "Tweaks" / Name, std::ios::binary) << Text;
}

TFormGorvane& GuiTest::Open() {
    Form = std::make_unique<TFormGorvane>(nullptr, QString::fromStdString(ProgramFolder));
    Form->show();
    QApplication::setActiveWindow(Form.get());
    EXPECT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    return *Form;
}

void GuiTest::Close() {
    Form->close();
    Form.reset();
}

std::vector<TTweakPanel*> GuiTest::PanelsTopToBottom() const {
    Form->centralWidget()->layout()->activate();
    QApplication::processEvents();
    std::vector<TTweakPanel*> panels = Form->Panels();
    std::stable_sort(panels.begin(), panels.end(),
                     [](const TTweakPanel* a, const TTweakPanel* b) { return a->y() < b->y(); });
    return panels;
}

QStringList GuiTest::TitlesTopToBottom() const {
    QStringList titles;
    for (const TTweakPanel* panel : PanelsTopToBottom())
        titles << panel->LabelTitle->text();
    return titles;
}

TTweakPanel* GuiTest::PanelTitled(const QString& Title) const {
    for (TTweakPanel* panel : Form->Panels())
        if (panel->LabelTitle->text() == Title)
            return panel;
    ADD_FAILURE() << "no panel titled " << Title.toStdString();
    return nullptr;
}

void GuiTest::Search(const QString& Term) {
    Form->editSearchTerm->setText(Term);
    QApplication::processEvents(); // lays the new panels out, so that clicks land where they show
}

std::optional<std::string> GuiTest::Text(const std::string& Name) const {
    std::string value;
    if (!RegistryReadString(HKEY_CURRENT_USER, TestKey, Name, 32, value))
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> GuiTest::Number(const std::string& Name) const {
    std::int32_t value = 0;
    if (!RegistryReadInteger(HKEY_CURRENT_USER, TestKey, Name, value))
        return std::nullopt;
    return value;
}

DWORD GuiTest::Type(const std::string& Name) const {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, TestKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return REG_NONE;
    DWORD type = REG_NONE;
    if (RegQueryValueExA(key, Name.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        type = REG_NONE;
    RegCloseKey(key);
    return type;
}

void GuiTest::PutText(const std::string& Name, const std::string& Value, DWORD ValueType) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_CURRENT_USER, TestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExA(key, Name.c_str(), 0, ValueType, reinterpret_cast<const BYTE*>(Value.c_str()),
                             static_cast<DWORD>(Value.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

void GuiTest::PutNumber(const std::string& Name, std::int32_t Value) {
    ASSERT_TRUE(RegistryWriteInteger(HKEY_CURRENT_USER, TestKey, Name, 32, Value));
}

int main(int argc, char** argv) {
    // Also when the test list is collected, outside CTest's environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
