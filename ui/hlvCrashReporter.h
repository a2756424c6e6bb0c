#pragma once
// The crash reporter: every exception that no handler catches, and the fatal signals, end up
// here. It writes a report to bugreport.txt in the user's state folder, shows the box that lets
// the user send, show, continue, restart or close, and uploads the report on request.

#include <QDialog>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <set>

class QLabel;
class QNetworkAccessManager;
class QNetworkReply;
class QPlainTextEdit;
class QPushButton;

// The report file never grows beyond this; the oldest reports give way.
inline constexpr qint64 MaxBugReportFileSize = 100000;

struct TCrashReport {
    QString ExceptionClass;
    QString ExceptionMessage;
    QString Version;
    QString OperatingSystem;
    QString Time;
    QString StackTrace;

    QString Text() const;
    // Identical exceptions are reported once per run.
    QString Identity() const { return ExceptionClass + QLatin1Char('\n') + ExceptionMessage; }
};

// What the user chose in the box.
enum class TCrashAction { Continue, Restart, Close };

// The folder and file reports go to: $XDG_STATE_HOME/gorvane, else ~/.local/state/gorvane (on
// Windows the per-user application data folder).
QString BugReportFolder();
QString BugReportFileName();
// The configured crash-report server, host or host:port; empty when there is none.
QString CrashReportServer();

// Appends Report to File, dropping the oldest reports so that the file stays within MaxBytes.
bool AppendBugReport(const QString& File, const QString& Report, qint64 MaxBytes = MaxBugReportFileSize);

// A PNG of the program's own visible windows, 8 bits per pixel.
QByteArray ProgramScreenshot();

class TCrashBox;

class TCrashReporter : public QObject {
    Q_OBJECT
public:
    TCrashReporter();
    ~TCrashReporter() override;

    // Makes this the reporter for uncaught exceptions, std::terminate and fatal signals.
    void Install();
    static TCrashReporter* Instance();

    // Reports the exception in flight (or Exception) and returns what the user chose. A repeat of
    // an exception reported before in this run is not shown again and continues.
    TCrashAction HandleException(std::exception_ptr Exception);
    TCrashAction HandleReport(const TCrashReport& Report);
    // Reports that the program's own file failed its checksum test.
    TCrashAction ReportCorruptFile(const QString& FileName);
    // Carries out the user's choice: nothing, or start a new copy, or end the program.
    void Act(TCrashAction Action);

    // Tests replace the modal box (the hook plays the user), the program start and the exit.
    std::function<TCrashAction(TCrashBox& Box)> BoxHook;
    std::function<bool(const QString& Program, const QStringList& Arguments)> StartProgram;
    std::function<void(int ExitCode)> Exit;

    QString ReportFile;
    QString Server;

private:
    std::set<QString> FReported;
    bool FHandling = false;
};

TCrashReport MakeCrashReport(std::exception_ptr Exception);

// The box of the crash reporter. "send bug report" uploads in the background and keeps the box
// open; "show bug report" shows the report in the box.
class TCrashBox : public QDialog {
    Q_OBJECT
public:
    TCrashBox(const QString& ReportText, const QString& ReportFile, const QString& Server,
              const QByteArray& Screenshot = {}, QWidget* Parent = nullptr);
    ~TCrashBox() override;

    TCrashAction Action() const { return FAction; }
    QString Status() const;
    bool Sending() const { return FReply != nullptr; }
    bool ReportShown() const;

    QPushButton* bnSend = nullptr;
    QPushButton* bnShow = nullptr;
    QPushButton* bnContinue = nullptr;
    QPushButton* bnRestart = nullptr;
    QPushButton* bnClose = nullptr;

public slots:
    void SendReport();
    void ShowReport();

signals:
    void SendFinished(bool Success);

private:
    void Choose(TCrashAction Action);
    void UploadFinished();

    QString FReportText;
    QString FReportFile;
    QString FServer;
    QByteArray FScreenshot;
    TCrashAction FAction = TCrashAction::Continue;
    QLabel* FStatus = nullptr;
    QPlainTextEdit* FDetails = nullptr;
    QNetworkAccessManager* FNetwork = nullptr;
    QNetworkReply* FReply = nullptr;
};
