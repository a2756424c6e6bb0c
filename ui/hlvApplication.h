#pragma once
// Gorvane's application object: every exception that an event handler lets through reaches the
// crash reporter instead of ending the program.

#include <QApplication>

class TCrashReporter;

class TGorvaneApplication : public QApplication {
    Q_OBJECT
public:
    TGorvaneApplication(int& argc, char** argv);

    bool notify(QObject* Receiver, QEvent* Event) override;
    // The reporter of uncaught exceptions; without one they go to the installed reporter.
    void SetCrashReporter(TCrashReporter* Reporter) { FReporter = Reporter; }

private:
    TCrashReporter* FReporter = nullptr;
};
