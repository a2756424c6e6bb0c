#include "ui/hlvUIWindows7.h"

bool IsWindows7OrLater() {
    TOSVersionInfo Info;
    if (!WindowsApi().ReadVersion(Info))
        return false;
    return Info.MajorVersion > 6 || (Info.MajorVersion == 6 && Info.MinorVersion >= 1);
}

TWindows7Form::TWindows7Form(QWidget* AOwner, const TFormDesign& Design) : TVistaForm(AOwner, Design) {
    if (IsWindows7OrLater()) {
        FTaskbarProgress = new TdwTaskbarProgressIndicator(this);
        FJumpLists = new TdwJumpLists(this);
    }
}

TWindows7Form::~TWindows7Form() = default;

void TWindows7Form::UpdateTaskbarButton() {
    TVistaForm::UpdateTaskbarButton();
}

void TWindows7Form::WndProc(TMessage& Message) {
    TVistaForm::WndProc(Message);
}
