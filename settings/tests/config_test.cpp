// THLVConfigManager: where window placement lives, what restoring takes, what saving writes.
#include "registry/hlvRegTools.h"
#include "registry/store/RegStore.h"
#include "registry/tests/RecordingBackend.h"
#include "settings/hlvConfig.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

struct TFakeForm : TConfigForm {
    std::string Name = "FormMain";
    std::int32_t Left = 10, Top = 20, Width = 300, Height = 200;
    TWindowState State = TWindowState::wsNormal;

    std::string ComponentName() const override { return Name; }
    std::int32_t GetLeft() const override { return Left; }
    std::int32_t GetTop() const override { return Top; }
    std::int32_t GetWidth() const override { return Width; }
    std::int32_t GetHeight() const override { return Height; }
    TWindowState GetWindowState() const override { return State; }
    void SetLeft(std::int32_t v) override { Left = v; }
    void SetTop(std::int32_t v) override { Top = v; }
    void SetWidth(std::int32_t v) override { Width = v; }
    void SetHeight(std::int32_t v) override { Height = v; }
    void SetWindowState(TWindowState v) override { State = v; }
};

// A form that stands for a real one inside the list the manager asks for.
struct TFormRef : TConfigForm {
    explicit TFormRef(TFakeForm& f) : F(f) {}
    TFakeForm& F;
    std::string ComponentName() const override { return F.ComponentName(); }
    std::int32_t GetLeft() const override { return F.Left; }
    std::int32_t GetTop() const override { return F.Top; }
    std::int32_t GetWidth() const override { return F.Width; }
    std::int32_t GetHeight() const override { return F.Height; }
    TWindowState GetWindowState() const override { return F.State; }
    void SetLeft(std::int32_t v) override { F.Left = v; }
    void SetTop(std::int32_t v) override { F.Top = v; }
    void SetWidth(std::int32_t v) override { F.Width = v; }
    void SetHeight(std::int32_t v) override { F.Height = v; }
    void SetWindowState(TWindowState v) override { F.State = v; }
};

class ConfigManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "gorvane-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Folder = pattern;
        setenv("GORVANE_REGISTRY_DIR", Folder.c_str(), 1);
        GorvaneStoreReset();
        Manager.SetApplicationTitle("Gorvane");
    }
    void TearDown() override {
        GorvaneStoreReset();
        std::filesystem::remove_all(Folder);
    }
    const std::string Key = "Software\\Halvessa Limited\\Gorvane\\UI\\Forms\\FormMain";
    void Put(HKEY root, const char* name, std::int32_t value) {
        ASSERT_TRUE(RegistryWriteInteger(root, Key, name, 32, value));
    }
    // The stored DWORD, or -999 when there is none.
    std::int32_t Stored(HKEY root, const char* name, const std::string& key = "") {
        std::int32_t value = -999;
        RegistryReadInteger(root, key.empty() ? Key : key, name, value);
        return value;
    }
    std::string Folder;
    THLVConfigManager Manager;
    TFakeForm Form;
};

TEST(DefaultApplicationTitle, FileNameUpToFirstDotWithTheRestLowerCased) {
    const struct {
        const char* Path;
        const char* Title;
    } cases[] = {
        {"C:\\Tools\\MyTool.Portable.exe", "Mytool"},
        {"/usr/bin/gorvane", "gorvane"},
        {"build/app/GORVANE", "Gorvane"},
        {"Gorvane.exe", "Gorvane"},
        {"/opt/.hidden", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DefaultApplicationTitle(c.Path), c.Title) << c.Path;
}

TEST_F(ConfigManagerTest, KeyPathsAndPrecedence) {
    EXPECT_EQ(THLVConfigManager().ApplicationTitle, "");
    EXPECT_EQ(Manager.CompanyName, "Halvessa Limited");
    EXPECT_EQ(Manager.GetSettingsPath(), "\\Software\\Halvessa Limited\\Gorvane\\");
    EXPECT_EQ(Manager.GetFormKeyPath(Form), "\\" + Key);
    HKEY roots[2] = {nullptr, nullptr};
    Manager.GetRootKeys(roots);
    EXPECT_EQ(roots[0], HKEY_LOCAL_MACHINE);
    EXPECT_EQ(roots[1], HKEY_CURRENT_USER);
    Manager.Precedence = TConfigPrecedence::cpUserFirst;
    Manager.GetRootKeys(roots);
    EXPECT_EQ(roots[0], HKEY_CURRENT_USER);
    EXPECT_EQ(roots[1], HKEY_LOCAL_MACHINE);
}

TEST_F(ConfigManagerTest, FirstStartKeepsTheDesignAndCloseWritesAllFiveForTheUser) {
    EXPECT_FALSE(Manager.RestoreFormPlacement(Form));
    EXPECT_EQ(Form.Left, 10);
    EXPECT_EQ(Form.Width, 300);
    Form.Left = 15;
    Form.Height = 250;
    EXPECT_TRUE(Manager.SaveFormPlacement(Form, false));
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Left"), 15);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Top"), 20);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Width"), 300);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Height"), 250);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "WindowState"), 0);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, "Left"), -999);

    TFakeForm next;
    EXPECT_TRUE(Manager.RestoreFormPlacement(next));
    EXPECT_EQ(next.Left, 15);
    EXPECT_EQ(next.Height, 250);
}

TEST_F(ConfigManagerTest, MachineValueWinsAndSavingWritesTheUserOnly) {
    Put(HKEY_LOCAL_MACHINE, "Width", 900);
    Put(HKEY_CURRENT_USER, "Width", 700);
    Put(HKEY_CURRENT_USER, "Left", -32000);
    EXPECT_FALSE(Manager.RestoreFormPlacement(Form)) << "Top, Height and WindowState are missing";
    EXPECT_EQ(Form.Width, 900);
    EXPECT_EQ(Form.Left, -32000) << "applied as read";
    EXPECT_EQ(Form.Top, 20);
    Form.Width = 640;
    EXPECT_TRUE(Manager.SaveFormPlacement(Form, false));
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Width"), 640);
    EXPECT_EQ(Stored(HKEY_LOCAL_MACHINE, "Width"), 900);
}

TEST_F(ConfigManagerTest, MaximisedKeepsItsLastNormalBounds) {
    EXPECT_TRUE(Manager.SaveFormPlacement(Form, false));
    Form.State = TWindowState::wsMaximized;
    Form.Width = 1920;
    EXPECT_TRUE(Manager.SaveFormPlacement(Form, false));
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Width"), 300);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "WindowState"), 2);

    TFakeForm next;
    next.Width = 1;
    EXPECT_TRUE(Manager.RestoreFormPlacement(next));
    EXPECT_EQ(next.Width, 300);
    EXPECT_EQ(next.State, TWindowState::wsMaximized);
}

TEST_F(ConfigManagerTest, StoredWindowStates) {
    const struct {
        std::int32_t Stored;
        TWindowState Before, After;
    } cases[] = {
        {0, TWindowState::wsMaximized, TWindowState::wsNormal},
        {1, TWindowState::wsNormal, TWindowState::wsNormal}, // never restored minimised
        {2, TWindowState::wsNormal, TWindowState::wsMaximized},
        {7, TWindowState::wsNormal, TWindowState::wsNormal},
    };
    for (const auto& c : cases) {
        Put(HKEY_CURRENT_USER, "WindowState", c.Stored);
        Form.State = c.Before;
        Manager.RestoreFormPlacement(Form);
        EXPECT_EQ(Form.State, c.After) << c.Stored;
    }
}

TEST_F(ConfigManagerTest, AValueOfAnotherTypeIsIgnored) {
    EXPECT_TRUE(Manager.SaveFormPlacement(Form, false));
    ASSERT_TRUE(RegistryWriteString(HKEY_CURRENT_USER, Key, "Top", 32, "55"));
    TFakeForm next;
    next.Top = 3;
    next.Width = 1;
    EXPECT_FALSE(Manager.RestoreFormPlacement(next));
    EXPECT_EQ(next.Top, 3);
    EXPECT_EQ(next.Width, 300);
}

TEST_F(ConfigManagerTest, RefusedSavesReportFalseWithoutRaising) {
    TRecordingBackend recorder(SystemRegBackend());
    TBackendScope scope(recorder);
    recorder.Granted = KEY_READ;
    EXPECT_FALSE(Manager.SaveFormPlacement(Form, false));
    EXPECT_FALSE(Manager.SaveFormPlacement(Form, true));

    recorder.Granted = ~REGSAM{0};
    recorder.Failures["RegSetValueExA"] = ERROR_ACCESS_DENIED;
    EXPECT_FALSE(Manager.SaveFormPlacement(Form, true)) << "the repeat for the user fails as well";
    int userCreates = 0;
    for (const auto& open : recorder.Opens)
        userCreates += open.Function == "RegCreateKeyExA";
    EXPECT_GE(userCreates, 2) << "a failed machine save is repeated for the user";
}

TEST_F(ConfigManagerTest, AllFormsEachUnderTheirOwnKey) {
    TFakeForm other;
    other.Name = "FormAbout";
    other.Width = 123;
    Manager.ApplicationForms = [&] {
        TConfigFormList list;
        list.push_back(std::make_unique<TFormRef>(Form));
        list.push_back(std::make_unique<TFormRef>(other));
        return list;
    };
    EXPECT_FALSE(Manager.RestoreAllForms());
    EXPECT_TRUE(Manager.SaveAllForms());
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Width"), 300);
    EXPECT_EQ(Stored(HKEY_CURRENT_USER, "Width", "Software\\Halvessa Limited\\Gorvane\\UI\\Forms\\FormAbout"),
              123);
    EXPECT_TRUE(Manager.RestoreAllForms());
}

TEST(ConfigManagerSingleton, LivesBetweenInitializeAndFinalize) {
    InitializeConfigManager("Mytool");
    ASSERT_NE(ConfigManager, nullptr);
    EXPECT_EQ(ConfigManager->ApplicationTitle, "Mytool");
    ConfigManager->SetApplicationTitle("Other");
    EXPECT_EQ(ConfigManager->GetSettingsPath(), "\\Software\\Halvessa Limited\\Other\\");
    FinalizeConfigManager();
    EXPECT_EQ(ConfigManager, nullptr);
}

} // namespace
