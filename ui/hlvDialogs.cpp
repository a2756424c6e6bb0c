#include "ui/hlvDialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace {

TDialogTestHook* Hook = nullptr;

QMessageBox::Icon IconOf(TMsgDlgType Type) {
    switch (Type) {
    case TMsgDlgType::mtWarning:
        return QMessageBox::Warning;
    case TMsgDlgType::mtError:
        return QMessageBox::Critical;
    case TMsgDlgType::mtInformation:
        return QMessageBox::Information;
    case TMsgDlgType::mtConfirmation:
        return QMessageBox::Question;
    case TMsgDlgType::mtCustom:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

void SetDialogTestHook(TDialogTestHook* NewHook) {
    Hook = NewHook;
}
TDialogTestHook* DialogTestHook() {
    return Hook;
}

int MessageDlg(const QString& Text, TMsgDlgType Type, TMsgDlgButtons Buttons, QWidget* Parent) {
    if (Hook) {
        Hook->MessageBoxes.push_back({Text, Type, Buttons});
        if (Hook->MessageBoxAnswers.empty())
            return mrOk;
        const int answer = Hook->MessageBoxAnswers.front();
        Hook->MessageBoxAnswers.pop_front();
        return answer;
    }
    QMessageBox box(IconOf(Type), QApplication::applicationDisplayName(), Text, QMessageBox::NoButton,
                    Parent);
    const struct {
        TMsgDlgBtn Flag;
        QMessageBox::StandardButton Button;
        int Result;
    } buttons[] = {{mbYes, QMessageBox::Yes, mrYes},
                   {mbNo, QMessageBox::No, mrNo},
                   {mbOK, QMessageBox::Ok, mrOk},
                   {mbCancel, QMessageBox::Cancel, mrCancel}};
    for (const auto& b : buttons)
        if (Buttons & b.Flag)
            box.addButton(b.Button);
    if (Buttons == 0)
        box.addButton(QMessageBox::Ok);
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const auto& b : buttons)
        if (pressed == b.Button)
            return b.Result;
    return mrCancel;
}

bool ExecuteOpenDialog(QString& FileName, QWidget* Parent) {
    if (Hook) {
        Hook->FileDialogs.push_back({FileName});
        if (Hook->FileNames.empty())
            return false;
        const std::optional<QString> answer = Hook->FileNames.front();
        Hook->FileNames.pop_front();
        if (!answer)
            return false;
        FileName = *answer;
        return true;
    }
    QFileDialog dialog(Parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    FileName = dialog.selectedFiles().constFirst();
    return true;
}

bool ShellOpen(const QString& Address) {
    if (Hook) {
        Hook->OpenedAddresses.push_back(Address);
        return true;
    }
    return QDesktopServices::openUrl(QUrl(Address));
}
