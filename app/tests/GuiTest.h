#pragma once
// The fixture of the GUI tests: a fresh registry store and a program folder with a Tweaks folder of
// the test's own, the dialog hooks installed, and helpers to read what the registry holds.
#include "app/FormUnitGorvane.h"
#include "registry/WinReg.h"
#include "ui/hlvDialogs.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes Tweaks/<name> in the program folder.
    void WriteTweakFile(const std::string& Name, const std::string& Text);
    // Creates, shows and activates the main window over the program folder.
    TFormGorvane& Open();
    void Close();

    // The panels from top to bottom, as the user sees them.
    std::vector<TTweakPanel*> PanelsTopToBottom() const;
    QStringList TitlesTopToBottom() const;
    TTweakPanel* PanelTitled(const QString& Title) const;
    void Search(const QString& Term);

    // What the registry holds under HKEY_CURRENT_USER\Software\Test.
    std::optional<std::string> Text(const std::string& Name) const;
    std::optional<std::int32_t> Number(const std::string& Name) const;
    DWORD Type(const std::string& Name) const; // REG_NONE when absent
    void PutText(const std::string& Name, const std::string& Value, DWORD Type = 1 /* REG_SZ */);
    void PutNumber(const std::string& Name, std::int32_t Value);

    std::string StoreFolder;
    std::string ProgramFolder;
    TDialogTestHook Dialogs;
    std::unique_ptr<TFormGorvane> Form;

private:
    std::unique_ptr<TDialogTestHookScope> FHookScope;
};

// One tweak section of a tweak file, under HKEY_CURRENT_USER\Software\Test unless Extra says else.
std::string TweakSection(const std::string& Id, const std::string& Title, const std::string& Extra);
