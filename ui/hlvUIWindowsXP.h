#pragma once
// TWindowsXPForm: a main window with a task-bar button of its own, and the thin layer of Windows
// calls that the form base classes use. Elsewhere than Windows the layer reports no Windows version,
// no application window and no desktop composition, so the Windows-only steps do nothing.

#include <QFont>
#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <functional>

class QPaintEvent;

// Window messages and system commands the forms handle.
inline constexpr std::uint32_t WmSysCommand = 0x0112;
inline constexpr std::uint32_t WmUpdateUIState = 0x0128;
inline constexpr std::uintptr_t ScSize = 0xF000;
inline constexpr std::uintptr_t ScMove = 0xF010;
inline constexpr std::uintptr_t ScMinimize = 0xF020;
inline constexpr std::uintptr_t ScMaximize = 0xF030;
inline constexpr std::uintptr_t ScClose = 0xF060;
inline constexpr std::uintptr_t ScRestore = 0xF120;
// The low four bits of a system command are used by the system itself.
inline constexpr std::uintptr_t ScCommandMask = 0xFFF0;

inline constexpr int SwHide = 0;
inline constexpr int SwShow = 5;
inline constexpr int SwMinimize = 6;
inline constexpr int SwRestore = 9;

inline constexpr int GwlExStyle = -20;
inline constexpr std::uint32_t WsExToolWindow = 0x00000080;
inline constexpr std::uint32_t WsExAppWindow = 0x00040000;

// A window message as the window procedure sees it.
struct TMessage {
    std::uint32_t Msg = 0;
    std::uintptr_t WParam = 0;
    std::intptr_t LParam = 0;
    std::intptr_t Result = 0;
};

struct TOSVersionInfo {
    std::uint32_t MajorVersion = 0;
    std::uint32_t MinorVersion = 0;
    std::uint32_t BuildNumber = 0;
};

// MARGINS of the desktop window manager, given as a rectangle.
struct TMarginsRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// The Windows functions behind the form base classes. Tests install their own to play a Windows
// version; the default one forwards to the system on Windows and reduces to Qt elsewhere.
class TWindowsApi {
public:
    virtual ~TWindowsApi() = default;
    // False when there is no Windows version to report (not Windows, or the call failed).
    virtual bool ReadVersion(TOSVersionInfo& Info);
    // False when dwmapi.dll or its export is missing; Enabled is the flag the call returned.
    virtual bool DwmIsCompositionEnabled(bool& Enabled);
    virtual void DwmExtendFrameIntoClientArea(QWidget* Window, const TMarginsRect& Margins);
    // The hidden application window, 0 where there is none.
    virtual std::uintptr_t ApplicationHandle();
    virtual void ShowWindow(std::uintptr_t Handle, int CmdShow);
    virtual void ShowWindow(QWidget* Window, int CmdShow);
    virtual std::uint32_t ReadWindowLong(std::uintptr_t Handle, int Index);
    virtual void WriteWindowLong(std::uintptr_t Handle, int Index, std::uint32_t Value);
    // The family the font system actually chose for a font.
    virtual QString ResolvedFontFamily(const QFont& Font);
};

TWindowsApi& WindowsApi();
// Installs Api (not owned) for every form; nullptr returns to the system's.
void SetWindowsApi(TWindowsApi* Api);

// Restyles the application window so that it has no task-bar button.
void HideApplicationTaskbarButton();

// Runs inside the constructor before the base classes adjust the form, the way a loaded form
// design would: sets the designed font, colour and so on.
using TFormDesign = std::function<void(QMainWindow& Form)>;

struct TCreateParams {
    std::uint32_t ExStyle = 0;
};

class TWindowsXPForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TWindowsXPForm(QWidget* AOwner = nullptr, const TFormDesign& Design = {});
    ~TWindowsXPForm() override;

    virtual void UpdateTaskbarButton();
    // The window procedure: every message of the form goes through here.
    virtual void WndProc(TMessage& Message);
    std::intptr_t Perform(std::uint32_t Msg, std::uintptr_t WParam = 0, std::intptr_t LParam = 0);

    bool FirstPaint() const { return FFirstPaint; }
    std::uint32_t ExStyle() const { return FExStyle; }

protected:
    virtual void CreateParams(TCreateParams& Params);
    virtual void WMSysCommand(TMessage& Message);
    // The window's standard handling of a system command: move, size, maximise, close.
    virtual void DefaultSysCommand(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);
    void paintEvent(QPaintEvent* Event) override;
#ifdef _WIN32
    // The real system menu's commands arrive here as WM_SYSCOMMAND.
    bool nativeEvent(const QByteArray& EventType, void* Message, qintptr* Result) override;
#endif

private:
    bool FFirstPaint = false;
    // While a native WM_SYSCOMMAND is handled: whether it went on to the standard handling, which
    // the system then does itself.
    bool FNativeSysCommand = false;
    bool FPassToSystem = false;
    std::uint32_t FExStyle = 0;
};
