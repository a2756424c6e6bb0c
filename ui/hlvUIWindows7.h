#pragma once
// TWindows7Form: the task-bar progress indicator and jump lists of Windows 7 and later.

#include "ui/hlvUIVista.h"

#include <QObject>
#include <QStringList>

bool IsWindows7OrLater();

// Task-bar progress of the form's button. Left at its defaults it shows nothing.
class TdwTaskbarProgressIndicator : public QObject {
    Q_OBJECT
public:
    enum TProgressState { psNone, psIndeterminate, psNormal, psError, psPaused };
    explicit TdwTaskbarProgressIndicator(QObject* AOwner) : QObject(AOwner) {}

    int Position = 0;
    int Max = 100;
    TProgressState ProgressState = psNone;
    bool Marquee = false;
};

// Jump lists of the form's task-bar button. Left at its defaults it shows nothing.
class TdwJumpLists : public QObject {
    Q_OBJECT
public:
    explicit TdwJumpLists(QObject* AOwner) : QObject(AOwner) {}

    bool ShowRecent = false;
    bool ShowFrequent = false;
    QStringList Tasks;
};

class TWindows7Form : public TVistaForm {
    Q_OBJECT
public:
    explicit TWindows7Form(QWidget* AOwner = nullptr, const TFormDesign& Design = {});
    ~TWindows7Form() override;

    void UpdateTaskbarButton() override;
    void WndProc(TMessage& Message) override;

    TdwTaskbarProgressIndicator* TaskbarProgress() const { return FTaskbarProgress; }
    TdwJumpLists* JumpLists() const { return FJumpLists; }

private:
    TdwTaskbarProgressIndicator* FTaskbarProgress = nullptr; // owned by the form
    TdwJumpLists* FJumpLists = nullptr;                      // owned by the form
};
