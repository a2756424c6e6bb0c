#include "ui/hlvUIWindowsXP.h"

#include <QFontInfo>
#include <QPaintEvent>
#include <QWindow>

#ifdef _WIN32
#include <windows.h>

namespace {
// An export of a library loaded at run time, as the function type it has.
template <typename TFunction> TFunction ProcAddress(HMODULE Library, const char* Name) {
    return reinterpret_cast<TFunction>(reinterpret_cast<void (*)()>(::GetProcAddress(Library, Name)));
}
} // namespace
#endif

bool TWindowsApi::ReadVersion(TOSVersionInfo& Info) {
#ifdef _WIN32
    OSVERSIONINFOA VersionInfo{};
    VersionInfo.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA); // 148 bytes
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!::GetVersionExA(&VersionInfo))
        return false;
#pragma GCC diagnostic pop
    Info.MajorVersion = VersionInfo.dwMajorVersion;
    Info.MinorVersion = VersionInfo.dwMinorVersion;
    Info.BuildNumber = VersionInfo.dwBuildNumber;
    return true;
#else
    (void)Info;
    return false;
#endif
}

bool TWindowsApi::DwmIsCompositionEnabled(bool& Enabled) {
#ifdef _WIN32
    HMODULE Library = ::LoadLibraryA("dwmapi.dll");
    if (!Library)
        return false;
    using TDwmIsCompositionEnabled = HRESULT(WINAPI*)(BOOL*);
    auto Function = ProcAddress<TDwmIsCompositionEnabled>(Library, "DwmIsCompositionEnabled");
    bool Found = Function != nullptr;
    if (Found) {
        BOOL Flag = FALSE;
        Function(&Flag); // only the flag counts, not the HRESULT
        Enabled = Flag != FALSE;
    }
    ::FreeLibrary(Library);
    return Found;
#else
    (void)Enabled;
    return false;
#endif
}

void TWindowsApi::DwmExtendFrameIntoClientArea(QWidget* Window, const TMarginsRect& Margins) {
#ifdef _WIN32
    HMODULE Library = ::LoadLibraryA("dwmapi.dll");
    if (!Library)
        return;
    struct TMargins {
        int cxLeftWidth, cxRightWidth, cyTopHeight, cyBottomHeight;
    };
    using TDwmExtendFrame = HRESULT(WINAPI*)(HWND, const TMargins*);
    auto Function = ProcAddress<TDwmExtendFrame>(Library, "DwmExtendFrameIntoClientArea");
    if (Function) {
        TMargins Value{Margins.Left, Margins.Right, Margins.Top, Margins.Bottom};
        Function(reinterpret_cast<HWND>(Window->winId()), &Value);
    }
    ::FreeLibrary(Library);
#else
    (void)Window;
    (void)Margins;
#endif
}

// Qt has no hidden application window owning the task-bar button, on any system.
std::uintptr_t TWindowsApi::ApplicationHandle() {
    return 0;
}

void TWindowsApi::ShowWindow(std::uintptr_t Handle, int CmdShow) {
#ifdef _WIN32
    ::ShowWindow(reinterpret_cast<HWND>(Handle), CmdShow);
#else
    if (QWidget* Window = QWidget::find(static_cast<WId>(Handle)))
        ShowWindow(Window, CmdShow);
#endif
}

void TWindowsApi::ShowWindow(QWidget* Window, int CmdShow) {
    if (!Window)
        return;
#ifdef _WIN32
    ::ShowWindow(reinterpret_cast<HWND>(Window->winId()), CmdShow);
#else
    switch (CmdShow) {
    case SwHide:
        Window->hide();
        break;
    case SwShow:
        Window->show();
        break;
    case SwMinimize:
        Window->showMinimized();
        break;
    case SwRestore:
        Window->showNormal();
        break;
    default:
        break;
    }
#endif
}

std::uint32_t TWindowsApi::ReadWindowLong(std::uintptr_t Handle, int Index) {
#ifdef _WIN32
    return static_cast<std::uint32_t>(::GetWindowLongA(reinterpret_cast<HWND>(Handle), Index));
#else
    (void)Handle;
    (void)Index;
    return 0;
#endif
}

void TWindowsApi::WriteWindowLong(std::uintptr_t Handle, int Index, std::uint32_t Value) {
#ifdef _WIN32
    ::SetWindowLongA(reinterpret_cast<HWND>(Handle), Index, static_cast<LONG>(Value));
#else
    (void)Handle;
    (void)Index;
    (void)Value;
#endif
}

QString TWindowsApi::ResolvedFontFamily(const QFont& Font) {
    return QFontInfo(Font).family();
}

namespace {
TWindowsApi* InstalledApi = nullptr;
} // namespace

TWindowsApi& WindowsApi() {
    static TWindowsApi SystemApi;
    return InstalledApi ? *InstalledApi : SystemApi;
}

void SetWindowsApi(TWindowsApi* Api) {
    InstalledApi = Api;
}

void HideApplicationTaskbarButton() {
    TWindowsApi& Api = WindowsApi();
    const std::uintptr_t Application = Api.ApplicationHandle();
    if (!Application)
        return;
    Api.ShowWindow(Application, SwHide);
    std::uint32_t Style = Api.ReadWindowLong(Application, GwlExStyle);
    Style = (Style & ~WsExAppWindow) | WsExToolWindow;
    Api.WriteWindowLong(Application, GwlExStyle, Style);
    Api.ShowWindow(Application, SwShow);
}

TWindowsXPForm::TWindowsXPForm(QWidget* AOwner, const TFormDesign& Design) : QMainWindow(AOwner) {
    if (Design)
        Design(*this);
    FFirstPaint = true;
    TCreateParams Params;
    CreateParams(Params);
    FExStyle = Params.ExStyle;
#ifdef _WIN32
    WindowsApi().WriteWindowLong(static_cast<std::uintptr_t>(winId()), GwlExStyle, FExStyle);
#endif
}

TWindowsXPForm::~TWindowsXPForm() = default;

void TWindowsXPForm::CreateParams(TCreateParams& Params) {
#ifdef _WIN32
    if (testAttribute(Qt::WA_WState_Created))
        Params.ExStyle = WindowsApi().ReadWindowLong(static_cast<std::uintptr_t>(winId()), GwlExStyle);
#endif
    Params.ExStyle = (Params.ExStyle & ~WsExToolWindow) | WsExAppWindow;
}

void TWindowsXPForm::UpdateTaskbarButton() {
    HideApplicationTaskbarButton();
}

void TWindowsXPForm::paintEvent(QPaintEvent* Event) {
    QMainWindow::paintEvent(Event);
    if (FFirstPaint) {
        FFirstPaint = false;
        UpdateTaskbarButton();
    }
}

std::intptr_t TWindowsXPForm::Perform(std::uint32_t Msg, std::uintptr_t WParam, std::intptr_t LParam) {
    TMessage Message{Msg, WParam, LParam, 0};
    WndProc(Message);
    return Message.Result;
}

void TWindowsXPForm::WndProc(TMessage& Message) {
    if (Message.Msg == WmSysCommand)
        WMSysCommand(Message);
    else
        DefaultHandler(Message);
}

void TWindowsXPForm::WMSysCommand(TMessage& Message) {
    switch (Message.WParam & ScCommandMask) {
    case ScMinimize:
        WindowsApi().ShowWindow(this, SwMinimize);
        Message.Result = 0;
        break;
    case ScRestore:
        WindowsApi().ShowWindow(this, SwRestore);
        Message.Result = 0;
        break;
    default:
        DefaultSysCommand(Message);
        break;
    }
}

#ifdef _WIN32
bool TWindowsXPForm::nativeEvent(const QByteArray& EventType, void* Message, qintptr* Result) {
    auto* Native = static_cast<MSG*>(Message);
    if (EventType != "windows_generic_MSG" || Native->message != WM_SYSCOMMAND)
        return QMainWindow::nativeEvent(EventType, Message, Result);
    TMessage Command{WmSysCommand, static_cast<std::uintptr_t>(Native->wParam),
                     static_cast<std::intptr_t>(Native->lParam), 0};
    FNativeSysCommand = true;
    FPassToSystem = false;
    WndProc(Command);
    FNativeSysCommand = false;
    if (FPassToSystem)
        return false;
    *Result = Command.Result;
    return true;
}
#endif

void TWindowsXPForm::DefaultSysCommand(TMessage& Message) {
    if (FNativeSysCommand) {
        FPassToSystem = true;
        return;
    }
    switch (Message.WParam & ScCommandMask) {
    case ScMaximize:
        showMaximized();
        break;
    case ScClose:
        close();
        break;
    case ScMove:
        if (QWindow* Window = windowHandle())
            Window->startSystemMove();
        break;
    case ScSize:
        if (QWindow* Window = windowHandle())
            Window->startSystemResize(Qt::RightEdge | Qt::BottomEdge);
        break;
    default:
        break;
    }
    Message.Result = 0;
}

void TWindowsXPForm::DefaultHandler(TMessage& Message) {
    Message.Result = 0;
}
