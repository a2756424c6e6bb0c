#include "settings/hlvConfig.h"

#include "registry/hlvRegistry.h"
#include "settings/vxMulticonfigRead.h"

#include <cctype>
#include <exception>

THLVConfigManager* ConfigManager = nullptr;

namespace {

const char* const PlacementNames[4] = {"Left", "Top", "Width", "Height"};

} // namespace

THLVConfigManager::THLVConfigManager()
    : Precedence(TConfigPrecedence::cpMachineFirst), CompanyName("Halvessa Limited") {}

void THLVConfigManager::SetApplicationTitle(const std::string& Title) {
    if (Title != ApplicationTitle)
        ApplicationTitle = Title;
}

std::string THLVConfigManager::GetSettingsPath() const {
    return "\\Software\\" + CompanyName + "\\" + ApplicationTitle + "\\";
}

std::string THLVConfigManager::GetFormKeyPath(const TConfigForm& Form) const {
    return GetSettingsPath() + "UI\\Forms\\" + Form.ComponentName();
}

void THLVConfigManager::GetRootKeys(HKEY (&RootKeys)[2]) const {
    if (Precedence == TConfigPrecedence::cpUserFirst) {
        RootKeys[0] = HKEY_CURRENT_USER;
        RootKeys[1] = HKEY_LOCAL_MACHINE;
    } else {
        RootKeys[0] = HKEY_LOCAL_MACHINE;
        RootKeys[1] = HKEY_CURRENT_USER;
    }
}

bool THLVConfigManager::RestoreFormPlacement(TConfigForm& Form) {
    HKEY roots[2];
    GetRootKeys(roots);
    const std::vector<HKEY> rootKeys(roots, roots + 2);
    const std::vector<std::string> keyPaths{GetFormKeyPath(Form)};
    bool ok = true;
    void (TConfigForm::*const setters[4])(std::int32_t) = {&TConfigForm::SetLeft, &TConfigForm::SetTop,
                                                           &TConfigForm::SetWidth, &TConfigForm::SetHeight};
    for (int i = 0; i < 4; ++i) {
        std::int32_t value = 0;
        if (ReadMultiConfigInteger(rootKeys, keyPaths, PlacementNames[i], value))
            (Form.*setters[i])(value);
        else
            ok = false;
    }
    std::int32_t state = 0;
    if (ReadMultiConfigInteger(rootKeys, keyPaths, "WindowState", state)) {
        // Never restored minimised; numbers without a meaning leave the state alone as well.
        if (state == static_cast<std::int32_t>(TWindowState::wsNormal) ||
            state == static_cast<std::int32_t>(TWindowState::wsMaximized))
            Form.SetWindowState(static_cast<TWindowState>(state));
    } else {
        ok = false;
    }
    return ok;
}

bool THLVConfigManager::RestoreAllForms() {
    if (!ApplicationForms)
        return true;
    bool ok = true;
    for (auto& form : ApplicationForms())
        if (!RestoreFormPlacement(*form))
            ok = false;
    return ok;
}

bool THLVConfigManager::SaveFormPlacement(const TConfigForm& Form, bool ToMachine) {
    try {
        TRegistry reg;
        reg.SetHive(ToMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
        if (!reg.OpenKey(GetFormKeyPath(Form), true))
            return false;
        const TWindowState state = Form.GetWindowState();
        if (state != TWindowState::wsMaximized) {
            // Left, Top, Width, Height: a maximised window keeps its last normal bounds stored.
            reg.WriteInteger(PlacementNames[0], Form.GetLeft());
            reg.WriteInteger(PlacementNames[1], Form.GetTop());
            reg.WriteInteger(PlacementNames[2], Form.GetWidth());
            reg.WriteInteger(PlacementNames[3], Form.GetHeight());
        }
        reg.WriteInteger("WindowState", static_cast<std::int32_t>(state));
        reg.ReleaseKey();
        return true;
    } catch (const std::exception&) {
        return ToMachine ? SaveFormPlacement(Form, false) : false;
    }
}

bool THLVConfigManager::SaveAllForms() {
    if (!ApplicationForms)
        return true;
    bool ok = true;
    for (auto& form : ApplicationForms())
        if (!SaveFormPlacement(*form, false))
            ok = false;
    return ok;
}

std::string DefaultApplicationTitle(const std::string& ExecutablePath) {
    const auto slash = ExecutablePath.find_last_of("/\\");
    std::string name = slash == std::string::npos ? ExecutablePath : ExecutablePath.substr(slash + 1);
    if (const auto dot = name.find('.'); dot != std::string::npos)
        name.erase(dot);
    for (std::size_t i = 1; i < name.size(); ++i)
        name[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[i])));
    return name;
}

void InitializeConfigManager(const std::string& DefaultTitle) {
    FinalizeConfigManager();
    ConfigManager = new THLVConfigManager();
    ConfigManager->SetApplicationTitle(DefaultTitle);
}

void FinalizeConfigManager() {
    delete ConfigManager;
    ConfigManager = nullptr;
}
