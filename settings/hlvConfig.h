#pragma once
// The settings manager: the program's key in the registry and the placement of its windows there.
// Qt-free: the program describes its forms through TConfigForm.
#include "registry/WinReg.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

enum class TConfigPrecedence : std::uint8_t { cpUserFirst = 0, cpMachineFirst = 1 };

enum class TWindowState : std::int32_t { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

// One window as the settings manager sees it: its component name and its placement. Left and Top
// are the outer position on the screen, Width and Height the size.
class TConfigForm {
public:
    virtual ~TConfigForm() = default;
    virtual std::string ComponentName() const = 0;
    virtual std::int32_t GetLeft() const = 0;
    virtual std::int32_t GetTop() const = 0;
    virtual std::int32_t GetWidth() const = 0;
    virtual std::int32_t GetHeight() const = 0;
    virtual TWindowState GetWindowState() const = 0;
    virtual void SetLeft(std::int32_t Value) = 0;
    virtual void SetTop(std::int32_t Value) = 0;
    virtual void SetWidth(std::int32_t Value) = 0;
    virtual void SetHeight(std::int32_t Value) = 0;
    virtual void SetWindowState(TWindowState Value) = 0;
};

using TConfigFormList = std::vector<std::unique_ptr<TConfigForm>>;

class THLVConfigManager {
public:
    THLVConfigManager();

    std::string ApplicationTitle;
    TConfigPrecedence Precedence;
    std::string CompanyName;

    // The forms of the application, in order; the program sets it once its window layer exists.
    // Without it RestoreAllForms and SaveAllForms have no form to handle.
    std::function<TConfigFormList()> ApplicationForms;

    void SetApplicationTitle(const std::string& Title);
    // "\Software\<CompanyName>\<ApplicationTitle>\"
    std::string GetSettingsPath() const;
    std::string GetFormKeyPath(const TConfigForm& Form) const;
    void GetRootKeys(HKEY (&RootKeys)[2]) const;

    // True when all five values were found. Never raises.
    bool RestoreFormPlacement(TConfigForm& Form);
    bool RestoreAllForms();
    // True when the values were written. Never raises.
    bool SaveFormPlacement(const TConfigForm& Form, bool ToMachine);
    bool SaveAllForms();
};

// The class library's default application title for an executable: its file name without folder
// and without everything from the first "." on, every character after the first lower-cased
// ("C:\Tools\MyTool.Portable.exe" -> "Mytool").
std::string DefaultApplicationTitle(const std::string& ExecutablePath);

// The one settings manager of the run, between InitializeConfigManager and FinalizeConfigManager.
extern THLVConfigManager* ConfigManager;
void InitializeConfigManager(const std::string& DefaultTitle);
void FinalizeConfigManager();
