#pragma once
// A Windows layer that plays a given Windows version and records what the forms ask of it.

#include "ui/hlvUIWindowsXP.h"

#include <QWidget>

#include <optional>
#include <vector>

struct TFakeWindowsApi : TWindowsApi {
    std::optional<TOSVersionInfo> Version;
    bool CompositionAvailable = true;
    bool Composition = false;
    std::uintptr_t Application = 0;
    std::uint32_t ApplicationExStyle = 0;
    // When set, the family the font system reports instead of the requested one.
    std::optional<QString> SubstituteFamily;

    struct TShow {
        std::uintptr_t Handle;
        QWidget* Window;
        int Cmd;
    };
    std::vector<TShow> Shows;
    std::vector<std::uint32_t> StylesWritten;
    int FrameExtensions = 0;
    TMarginsRect LastMargins{-1, -1, -1, -1};

    TFakeWindowsApi() { SetWindowsApi(this); }
    ~TFakeWindowsApi() override { SetWindowsApi(nullptr); }

    bool ReadVersion(TOSVersionInfo& Info) override {
        if (!Version)
            return false;
        Info = *Version;
        return true;
    }
    bool DwmIsCompositionEnabled(bool& Enabled) override {
        Enabled = Composition;
        return CompositionAvailable;
    }
    void DwmExtendFrameIntoClientArea(QWidget*, const TMarginsRect& Margins) override {
        ++FrameExtensions;
        LastMargins = Margins;
    }
    std::uintptr_t ApplicationHandle() override { return Application; }
    void ShowWindow(std::uintptr_t Handle, int Cmd) override { Shows.push_back({Handle, nullptr, Cmd}); }
    void ShowWindow(QWidget* Window, int Cmd) override { Shows.push_back({0, Window, Cmd}); }
    std::uint32_t ReadWindowLong(std::uintptr_t, int) override { return ApplicationExStyle; }
    void WriteWindowLong(std::uintptr_t, int Index, std::uint32_t Value) override {
        if (Index == GwlExStyle) {
            ApplicationExStyle = Value;
            StylesWritten.push_back(Value);
        }
    }
    QString ResolvedFontFamily(const QFont& Font) override {
        return SubstituteFamily ? *SubstituteFamily : Font.family();
    }
};
