#pragma once
// Stand-ins for the platform's message box, file-open dialog and shell "open". Each has a test
// hook: while a TDialogTestHook is installed nothing modal is shown and nothing is handed to the
// desktop; the hook gives the answers and records what was asked.
#include <QString>
#include <QStringList>

#include <deque>
#include <optional>
#include <vector>

class QWidget;

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

enum TMsgDlgBtn : unsigned {
    mbYes = 1u << 0,
    mbNo = 1u << 1,
    mbOK = 1u << 2,
    mbCancel = 1u << 3,
};
using TMsgDlgButtons = unsigned;

// The results of a message box.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

struct TMessageBoxCall {
    QString Text;
    TMsgDlgType Type = TMsgDlgType::mtInformation;
    TMsgDlgButtons Buttons = 0;
};

struct TFileOpenCall {
    QString ProposedFileName;
};

class TDialogTestHook {
public:
    // The next answers, used front first; an empty queue answers mrOk / cancels the dialog.
    std::deque<int> MessageBoxAnswers;
    std::deque<std::optional<QString>> FileNames;

    std::vector<TMessageBoxCall> MessageBoxes;
    std::vector<TFileOpenCall> FileDialogs;
    QStringList OpenedAddresses;
};

// Installs Hook (not owned) for every dialog; nullptr returns to the real windows.
void SetDialogTestHook(TDialogTestHook* Hook);
TDialogTestHook* DialogTestHook();

// Installs a hook for the lifetime of the object.
class TDialogTestHookScope {
public:
    explicit TDialogTestHookScope(TDialogTestHook& Hook) : FPrevious(DialogTestHook()) {
        SetDialogTestHook(&Hook);
    }
    ~TDialogTestHookScope() { SetDialogTestHook(FPrevious); }
    TDialogTestHookScope(const TDialogTestHookScope&) = delete;
    TDialogTestHookScope& operator=(const TDialogTestHookScope&) = delete;

private:
    TDialogTestHook* FPrevious;
};

// A modal message box with the application's title as caption; returns the pressed button (mr*).
int MessageDlg(const QString& Text, TMsgDlgType Type, TMsgDlgButtons Buttons, QWidget* Parent = nullptr);

// The file-open dialog with FileName as the proposed name, no filter, default title and folder.
// True when the user confirmed; FileName is then the chosen full file name.
bool ExecuteOpenDialog(QString& FileName, QWidget* Parent = nullptr);

// The shell's "open" for an address: the desktop's default handler shows it.
bool ShellOpen(const QString& Address);
