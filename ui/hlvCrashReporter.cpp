#include "ui/hlvCrashReporter.h"

#include <QApplication>
#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QHttpMultiPart>
#include <QImage>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QVBoxLayout>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <typeinfo>

#ifndef _WIN32
#include <cxxabi.h>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>
#endif

#ifndef GORVANE_VERSION
#define GORVANE_VERSION "unknown"
#endif
#ifndef GORVANE_CRASH_SERVER_DEFAULT
#define GORVANE_CRASH_SERVER_DEFAULT ""
#endif

namespace {

const QString ReportHeading = QStringLiteral("===== bug report =====");
TCrashReporter* InstalledReporter = nullptr;

QString ApplicationTitle() {
    const QString Title = QGuiApplication::applicationDisplayName();
    return Title.isEmpty() ? QStringLiteral("Gorvane") : Title;
}

QString Demangle(const char* Name) {
#ifndef _WIN32
    int Status = 0;
    char* Readable = abi::__cxa_demangle(Name, nullptr, nullptr, &Status);
    if (Status == 0 && Readable) {
        QString Result = QString::fromUtf8(Readable);
        std::free(Readable);
        return Result;
    }
#endif
    return QString::fromUtf8(Name);
}

#ifndef _WIN32
// Where the program records the stack of its last throw (see gorvane_app_identity).
extern "C" __attribute__((weak)) int GorvaneThrowTrace(const void* Object, void** Frames, int Max);
#endif

// The stack where Object was thrown when it is known, else the stack of the caller.
QString StackTrace(const void* Object = nullptr) {
#ifndef _WIN32
    void* Frames[64];
    int Count = GorvaneThrowTrace && Object ? GorvaneThrowTrace(Object, Frames, 64) : 0;
    if (Count == 0)
        Count = ::backtrace(Frames, 64);
    char** Symbols = ::backtrace_symbols(Frames, Count);
    QString Result;
    for (int I = 0; I < Count; ++I) {
        QString Line = Symbols ? QString::fromUtf8(Symbols[I]) : QString::number(quintptr(Frames[I]), 16);
        // "file(mangled+0x12) [0x...]": show the function's readable name.
        const qsizetype Open = Line.indexOf(QLatin1Char('(')), Plus = Line.indexOf(QLatin1Char('+'), Open);
        if (Open >= 0 && Plus > Open + 1) {
            const QByteArray Mangled = Line.mid(Open + 1, Plus - Open - 1).toUtf8();
            Line = Line.left(Open + 1) + Demangle(Mangled.constData()) + Line.mid(Plus);
        }
        Result += QStringLiteral("  #%1 %2\n").arg(I).arg(Line);
    }
    std::free(Symbols);
    return Result;
#else
    (void)Object;
    return QStringLiteral("  (no stack trace on this system)\n");
#endif
}

QString OperatingSystem() {
    return QStringLiteral("%1 (%2 %3, %4)")
        .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(), QSysInfo::kernelVersion(),
             QSysInfo::currentCpuArchitecture());
}

// ---- fatal signals: only what is safe inside a signal handler ------------------------------

#ifndef _WIN32
char SignalReportPath[4096];
char SignalReportHeader[1024];
std::size_t SignalReportHeaderSize = 0;
char AlternateStack[64 * 1024];

void WriteText(int File, const char* Text) {
    std::size_t Size = std::strlen(Text);
    while (Size > 0) {
        const ssize_t Written = ::write(File, Text, Size);
        if (Written <= 0)
            return;
        Text += Written;
        Size -= std::size_t(Written);
    }
}

const char* SignalName(int Signal) {
    switch (Signal) {
    case SIGSEGV:
        return "SIGSEGV (invalid memory access)";
    case SIGABRT:
        return "SIGABRT (abort)";
    case SIGFPE:
        return "SIGFPE (arithmetic error)";
    case SIGBUS:
        return "SIGBUS (bus error)";
    default:
        return "fatal signal";
    }
}

void FatalSignal(int Signal) {
    const int File = ::open(SignalReportPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (File >= 0) {
        WriteText(File, "===== bug report =====\nexception class: ");
        WriteText(File, SignalName(Signal));
        WriteText(File, "\nexception message: the program received a fatal signal\n");
        if (::write(File, SignalReportHeader, SignalReportHeaderSize) < 0) {
            // nothing more can be done here
        }
        char Seconds[32];
        int Length = 0;
        char Digits[32];
        for (auto Now = static_cast<unsigned long long>(::time(nullptr)); Now > 0 || Length == 0; Now /= 10)
            Digits[Length++] = char('0' + Now % 10);
        for (int I = 0; I < Length; ++I)
            Seconds[I] = Digits[Length - 1 - I];
        Seconds[Length] = 0;
        WriteText(File, "time (seconds since 1970): ");
        WriteText(File, Seconds);
        WriteText(File, "\nstack trace:\n");
        void* Frames[64];
        ::backtrace_symbols_fd(Frames, ::backtrace(Frames, 64), File);
        WriteText(File, "\n");
        ::close(File);
    }
    // The handler was installed for one use: the signal now ends the program as it would have.
    ::raise(Signal);
}

void InstallSignalHandlers(const QString& ReportFile) {
    const QByteArray Path = QFile::encodeName(ReportFile);
    std::strncpy(SignalReportPath, Path.constData(), sizeof(SignalReportPath) - 1);
    const QByteArray Header =
        QStringLiteral("program version: %1\noperating system: %2\nexecutable: %3\n")
            .arg(QStringLiteral(GORVANE_VERSION), OperatingSystem(), QCoreApplication::applicationFilePath())
            .toUtf8()
            .left(sizeof(SignalReportHeader));
    std::memcpy(SignalReportHeader, Header.constData(), std::size_t(Header.size()));
    SignalReportHeaderSize = std::size_t(Header.size());
    // The first backtrace() loads its unwinder; do that now rather than inside the handler.
    void* Frames[4];
    ::backtrace(Frames, 4);

    stack_t Stack{};
    Stack.ss_sp = AlternateStack;
    Stack.ss_size = sizeof(AlternateStack);
    ::sigaltstack(&Stack, nullptr);
    struct sigaction Action {};
    Action.sa_handler = FatalSignal;
    Action.sa_flags = SA_RESETHAND | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&Action.sa_mask);
    for (int Signal : {SIGSEGV, SIGABRT, SIGFPE, SIGBUS})
        ::sigaction(Signal, &Action, nullptr);
}
#endif

[[noreturn]] void Terminate() {
    if (TCrashReporter* Reporter = TCrashReporter::Instance()) {
        if (std::exception_ptr Exception = std::current_exception()) {
            TCrashReport Report = MakeCrashReport(Exception);
            AppendBugReport(Reporter->ReportFile, Report.Text());
        }
    }
#ifndef _WIN32
    // Reported already: the abort below must not write a second report.
    std::signal(SIGABRT, SIG_DFL);
#endif
    std::abort();
}

// "host", "host:port" or "[v6]:port" as the URL of the upload script.
QUrl SubmitUrl(const QString& Server) {
    QUrl Url;
    Url.setScheme(QStringLiteral("http"));
    QString Host = Server.trimmed();
    int Port = 80;
    const qsizetype Colon = Host.lastIndexOf(QLatin1Char(':'));
    if (Colon > 0 && (Host.startsWith(QLatin1Char('[')) ? Host[Colon - 1] == QLatin1Char(']')
                                                        : Host.count(QLatin1Char(':')) == 1)) {
        bool Number = false;
        Port = Host.mid(Colon + 1).toInt(&Number);
        if (!Number || Port <= 0 || Port > 65535)
            return {};
        Host = Host.left(Colon);
    }
    if (Host.startsWith(QLatin1Char('[')) && Host.endsWith(QLatin1Char(']')))
        Host = Host.mid(1, Host.size() - 2);
    Url.setHost(Host, QUrl::StrictMode);
    Url.setPort(Port);
    Url.setPath(QStringLiteral("/submit.php"));
    return Url.isValid() && !Host.isEmpty() ? Url : QUrl();
}

} // namespace

// ---- the report and its file -----------------------------------------------------------------

QString TCrashReport::Text() const {
    return ReportHeading +
           QStringLiteral("\ndate/time: %1\nprogram version: %2\noperating system: %3\n"
                          "exception class: %4\nexception message: %5\nstack trace:\n%6\n")
               .arg(Time, Version, OperatingSystem, ExceptionClass, ExceptionMessage, StackTrace);
}

TCrashReport MakeCrashReport(std::exception_ptr Exception) {
    TCrashReport Report;
    Report.Version = QStringLiteral(GORVANE_VERSION);
    Report.OperatingSystem = OperatingSystem();
    Report.Time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    Report.StackTrace = StackTrace();
    try {
        if (Exception)
            std::rethrow_exception(Exception);
        Report.ExceptionClass = QStringLiteral("(none)");
    } catch (const std::exception& Error) {
        Report.ExceptionClass = Demangle(typeid(Error).name());
        Report.ExceptionMessage = QString::fromUtf8(Error.what());
        Report.StackTrace = StackTrace(dynamic_cast<const void*>(&Error));
    } catch (...) {
#ifndef _WIN32
        const std::type_info* Type = abi::__cxa_current_exception_type();
        Report.ExceptionClass = Type ? Demangle(Type->name()) : QStringLiteral("(unknown)");
#else
        Report.ExceptionClass = QStringLiteral("(unknown)");
#endif
    }
    return Report;
}

QString BugReportFolder() {
#ifdef _WIN32
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
#else
    QString State = qEnvironmentVariable("XDG_STATE_HOME");
    // Only an absolute path counts, as the base-directory rules say.
    if (State.isEmpty() || QDir::isRelativePath(State))
        State = QDir::homePath() + QStringLiteral("/.local/state");
    return State + QStringLiteral("/gorvane");
#endif
}

QString BugReportFileName() {
    return BugReportFolder() + QStringLiteral("/bugreport.txt");
}

QString CrashReportServer() {
    const QString Override = qEnvironmentVariable("GORVANE_CRASH_SERVER").trimmed();
    return Override.isEmpty() ? QStringLiteral(GORVANE_CRASH_SERVER_DEFAULT) : Override;
}

bool AppendBugReport(const QString& FileName, const QString& Report, qint64 MaxBytes) {
    QByteArray Existing;
    QFile Old(FileName);
    if (Old.open(QIODevice::ReadOnly))
        Existing = Old.readAll();
    Old.close();
    QByteArray Added = Report.toUtf8();
    if (!Added.endsWith('\n'))
        Added += '\n';
    if (Added.size() > MaxBytes)
        Added = Added.left(MaxBytes); // one report larger than the whole file keeps its start
    QByteArray Content = Existing + Added;
    // Drop the oldest reports, whole, until the file fits.
    const QByteArray Heading = ReportHeading.toUtf8();
    while (Content.size() > MaxBytes) {
        const qsizetype Next = Content.indexOf(Heading, 1);
        if (Next < 0 || Content.size() - Next < Added.size()) {
            Content = Added;
            break;
        }
        Content = Content.mid(Next);
    }
    QDir().mkpath(QFileInfo(FileName).absolutePath());
    QSaveFile File(FileName);
    if (!File.open(QIODevice::WriteOnly))
        return false;
    File.write(Content);
    if (!File.commit())
        return false;
    // Reports may hold what the user was working on: for the user's eyes only.
    QFile::setPermissions(FileName, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

QByteArray ProgramScreenshot() {
    QRect Area;
    QList<QWidget*> Windows;
    for (QWidget* Window : QApplication::topLevelWidgets())
        if (Window->isVisible() && !Window->isMinimized()) {
            Windows.append(Window);
            Area = Area.united(Window->frameGeometry());
        }
    if (Windows.isEmpty() || Area.isEmpty())
        return {};
    QImage Picture(Area.size(), QImage::Format_RGB32);
    Picture.fill(Qt::white);
    QPainter Painter(&Picture);
    for (QWidget* Window : Windows)
        Painter.drawPixmap(Window->geometry().topLeft() - Area.topLeft(), Window->grab());
    Painter.end();
    // 8 bits per pixel: a palette of at most 256 colours.
    const QImage Indexed = Picture.convertToFormat(QImage::Format_Indexed8, Qt::DiffuseDither);
    QByteArray Png;
    QBuffer Buffer(&Png);
    Buffer.open(QIODevice::WriteOnly);
    Indexed.save(&Buffer, "PNG");
    return Png;
}

// ---- the reporter --------------------------------------------------------------------------

TCrashReporter::TCrashReporter() : ReportFile(BugReportFileName()), Server(CrashReportServer()) {
    StartProgram = [](const QString& Program, const QStringList& Arguments) {
        return QProcess::startDetached(Program, Arguments);
    };
    Exit = [](int ExitCode) {
        // Inside the message loop the program ends the normal way once the handler returns.
        if (QCoreApplication::instance() && QThread::currentThread()->loopLevel() > 0)
            QCoreApplication::exit(ExitCode);
        else
            std::exit(ExitCode);
    };
}

TCrashReporter::~TCrashReporter() {
    if (InstalledReporter == this)
        InstalledReporter = nullptr;
}

TCrashReporter* TCrashReporter::Instance() {
    return InstalledReporter;
}

void TCrashReporter::Install() {
    InstalledReporter = this;
    std::set_terminate(Terminate);
    // Reports written by a fatal signal were not trimmed then; bring the file back in bounds.
    if (QFileInfo(ReportFile).size() > MaxBugReportFileSize)
        AppendBugReport(ReportFile, QString());
#ifndef _WIN32
    // A signal handler cannot create folders; the report file's folder must exist beforehand.
    QDir().mkpath(QFileInfo(ReportFile).absolutePath());
    InstallSignalHandlers(ReportFile);
#endif
}

TCrashAction TCrashReporter::HandleException(std::exception_ptr Exception) {
    return HandleReport(MakeCrashReport(Exception));
}

TCrashAction TCrashReporter::HandleReport(const TCrashReport& Report) {
    if (!FReported.insert(Report.Identity()).second)
        return TCrashAction::Continue;
    const QString Text = Report.Text();
    AppendBugReport(ReportFile, Text);
    // A failure while the box is up (in its own event handling) is written down, not shown in a
    // second box on top of the first.
    if (FHandling)
        return TCrashAction::Continue;
    FHandling = true;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } Done{FHandling};
    TCrashBox Box(Text, ReportFile, Server, ProgramScreenshot());
    TCrashAction Action;
    if (BoxHook) {
        Action = BoxHook(Box);
    } else {
        Box.exec();
        Action = Box.Action();
    }
    Act(Action);
    return Action;
}

TCrashAction TCrashReporter::ReportCorruptFile(const QString& FileName) {
    TCrashReport Report = MakeCrashReport(nullptr);
    Report.ExceptionClass = QStringLiteral("ECorruptFile");
    Report.ExceptionMessage = QStringLiteral("The file \"%1\" is corrupt: its checksum does not match.")
                                  .arg(QDir::toNativeSeparators(FileName));
    return HandleReport(Report);
}

void TCrashReporter::Act(TCrashAction Action) {
    switch (Action) {
    case TCrashAction::Continue:
        break;
    case TCrashAction::Restart:
        StartProgram(QCoreApplication::applicationFilePath(), QCoreApplication::arguments().mid(1));
        Exit(1);
        break;
    case TCrashAction::Close:
        Exit(1);
        break;
    }
}

// ---- the box -------------------------------------------------------------------------------

TCrashBox::TCrashBox(const QString& ReportText, const QString& ReportFile, const QString& Server,
                     const QByteArray& Screenshot, QWidget* Parent)
    : QDialog(Parent), FReportText(ReportText), FReportFile(ReportFile), FServer(Server),
      FScreenshot(Screenshot) {
    setObjectName(QStringLiteral("CrashBox"));
    setWindowTitle(ApplicationTitle());
    auto* Layout = new QVBoxLayout(this);
    auto* Message = new QLabel(QStringLiteral("An error occurred in the application."), this);
    Message->setObjectName(QStringLiteral("labelMessage"));
    Layout->addWidget(Message);
    FStatus = new QLabel(this);
    FStatus->setObjectName(QStringLiteral("labelStatus"));
    FStatus->setWordWrap(true);
    FStatus->setTextFormat(Qt::PlainText);
    FStatus->hide();
    Layout->addWidget(FStatus);
    FDetails = new QPlainTextEdit(ReportText, this);
    FDetails->setObjectName(QStringLiteral("memoReport"));
    FDetails->setReadOnly(true);
    FDetails->setMinimumSize(560, 260);
    FDetails->hide();
    Layout->addWidget(FDetails);

    auto* Buttons = new QHBoxLayout;
    auto Button = [&](const char* Name, const char* Caption) {
        auto* Result = new QPushButton(QString::fromLatin1(Caption), this);
        Result->setObjectName(QLatin1String(Name));
        Result->setAutoDefault(false);
        Buttons->addWidget(Result);
        return Result;
    };
    bnSend = Button("bnSend", "send bug report");
    bnShow = Button("bnShow", "show bug report");
    bnContinue = Button("bnContinue", "continue application");
    bnRestart = Button("bnRestart", "restart application");
    bnClose = Button("bnClose", "close application");
    bnContinue->setDefault(true);
    Layout->addLayout(Buttons);

    connect(bnSend, &QPushButton::clicked, this, &TCrashBox::SendReport);
    connect(bnShow, &QPushButton::clicked, this, &TCrashBox::ShowReport);
    connect(bnContinue, &QPushButton::clicked, this, [this] { Choose(TCrashAction::Continue); });
    connect(bnRestart, &QPushButton::clicked, this, [this] { Choose(TCrashAction::Restart); });
    connect(bnClose, &QPushButton::clicked, this, [this] { Choose(TCrashAction::Close); });
}

TCrashBox::~TCrashBox() {
    if (FReply) {
        FReply->disconnect(this);
        FReply->abort();
    }
}

QString TCrashBox::Status() const {
    return FStatus->text();
}

bool TCrashBox::ReportShown() const {
    return FDetails->isVisible();
}

void TCrashBox::Choose(TCrashAction Action) {
    FAction = Action;
    done(Action == TCrashAction::Continue ? QDialog::Accepted : QDialog::Rejected);
}

void TCrashBox::ShowReport() {
    FDetails->setVisible(true);
    bnShow->setEnabled(false);
    adjustSize();
}

void TCrashBox::SendReport() {
    if (FReply)
        return;
    FStatus->show();
    const QUrl Url = SubmitUrl(FServer);
    if (FServer.trimmed().isEmpty() || !Url.isValid()) {
        FStatus->setText(
            FServer.trimmed().isEmpty()
                ? QStringLiteral("No crash-report server is configured, so the bug report was not "
                                 "sent. It is kept in %1.")
                      .arg(QDir::toNativeSeparators(FReportFile))
                : QStringLiteral("The crash-report server \"%1\" is not a valid address, so the bug "
                                 "report was not sent. It is kept in %2.")
                      .arg(FServer, QDir::toNativeSeparators(FReportFile)));
        emit SendFinished(false);
        return;
    }
    QByteArray Report;
    QFile File(FReportFile);
    if (File.open(QIODevice::ReadOnly))
        Report = File.readAll();
    if (Report.isEmpty())
        Report = FReportText.toUtf8();

    auto* Parts = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    QHttpPart ReportPart;
    ReportPart.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("text/plain; charset=utf-8"));
    ReportPart.setHeader(QNetworkRequest::ContentDispositionHeader,
                         QStringLiteral("form-data; name=\"bugreport.txt\"; filename=\"bugreport.txt\""));
    ReportPart.setBody(Report);
    Parts->append(ReportPart);
    if (!FScreenshot.isEmpty()) {
        QHttpPart PicturePart;
        PicturePart.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("image/png"));
        PicturePart.setHeader(
            QNetworkRequest::ContentDispositionHeader,
            QStringLiteral("form-data; name=\"screenshot.png\"; filename=\"screenshot.png\""));
        PicturePart.setBody(FScreenshot);
        Parts->append(PicturePart);
    }
    if (!FNetwork)
        FNetwork = new QNetworkAccessManager(this);
    QNetworkRequest Request(Url);
    Request.setTransferTimeout(30000);
    Request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("Gorvane/%1").arg(QStringLiteral(GORVANE_VERSION)));
    FReply = FNetwork->post(Request, Parts);
    Parts->setParent(FReply);
    connect(FReply, &QNetworkReply::finished, this, &TCrashBox::UploadFinished);
    bnSend->setEnabled(false);
    FStatus->setText(QStringLiteral("Sending the bug report to %1...").arg(Url.authority()));
}

void TCrashBox::UploadFinished() {
    QNetworkReply* Reply = FReply;
    FReply = nullptr;
    Reply->deleteLater();
    const int Status = Reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool Success = Reply->error() == QNetworkReply::NoError && Status >= 200 && Status < 300;
    if (Success) {
        QFile::remove(FReportFile);
        FStatus->setText(QStringLiteral("The bug report was sent. Thank you."));
    } else {
        const QString Reason =
            Status ? QStringLiteral("the server answered %1").arg(Status) : Reply->errorString();
        FStatus->setText(QStringLiteral("The bug report could not be sent (%1). It is kept in %2.")
                             .arg(Reason, QDir::toNativeSeparators(FReportFile)));
        bnSend->setEnabled(true);
    }
    emit SendFinished(Success);
}
