#include "ui/hlvCrashReporter.h"
#include "ui/hlvApplication.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHttpMultiPart>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <stdexcept>

// Named and kept out of line, so the report's stack trace can be seen to start where it threw.
[[gnu::noinline]] void ThrowFromDeepInside(const std::string& Message) {
    throw std::runtime_error(Message);
}

namespace {

// Sets an environment variable for one scope.
class TScopedEnv {
public:
    TScopedEnv(const char* Name, const QByteArray& Value)
        : FName(Name), FOld(qgetenv(Name)), FHad(qEnvironmentVariableIsSet(Name)) {
        qputenv(Name, Value);
    }
    ~TScopedEnv() {
        if (FHad)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }

private:
    const char* FName;
    QByteArray FOld;
    bool FHad;
};

QByteArray ReadAll(const QString& File) {
    QFile In(File);
    return In.open(QIODevice::ReadOnly) ? In.readAll() : QByteArray();
}

struct TThrower : QObject {
    std::function<void()> Throw;
    bool event(QEvent* Event) override {
        if (Event->type() == QEvent::User)
            Throw();
        return QObject::event(Event);
    }
};

// A reporter that writes into a temporary folder and records what the user was offered.
struct TTestReporter {
    QTemporaryDir Dir;
    TCrashReporter Reporter;
    std::vector<TCrashAction> Answers; // front first; Continue once they run out
    int Boxes = 0;
    QStringList Started;
    std::vector<int> Exits;

    TTestReporter() {
        Reporter.ReportFile = Dir.filePath("state/gorvane/bugreport.txt");
        Reporter.Server.clear();
        Reporter.BoxHook = [this](TCrashBox&) {
            ++Boxes;
            if (Answers.empty())
                return TCrashAction::Continue;
            const TCrashAction Next = Answers.front();
            Answers.erase(Answers.begin());
            return Next;
        };
        Reporter.StartProgram = [this](const QString& Program, const QStringList&) {
            Started << Program;
            return true;
        };
        Reporter.Exit = [this](int Code) { Exits.push_back(Code); };
    }
    QString Report() const { return QString::fromUtf8(ReadAll(Reporter.ReportFile)); }
};

// PHP's built-in server running the upload script on a free loopback port.
class TSubmitServer {
public:
    explicit TSubmitServer(const QString& Store) {
        const QString Php = QStandardPaths::findExecutable("php");
        if (Php.isEmpty())
            return;
        QTcpServer Probe;
        Probe.listen(QHostAddress::LocalHost, 0);
        FPort = Probe.serverPort();
        Probe.close();
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        Env.insert("GORVANE_CRASH_STORE", Store);
        FProcess.setProcessEnvironment(Env);
        FProcess.setProcessChannelMode(QProcess::MergedChannels);
        FProcess.start(Php,
                       {"-d", "upload_max_filesize=16M", "-d", "post_max_size=20M", "-S",
                        QStringLiteral("127.0.0.1:%1").arg(FPort), "-t", QStringLiteral(GORVANE_SERVER_DIR)});
        if (!FProcess.waitForStarted(5000))
            return;
        // Ready once it accepts a connection.
        for (int Try = 0; Try < 100 && !FReady; ++Try) {
            QTcpSocket Socket;
            Socket.connectToHost(QHostAddress::LocalHost, FPort);
            FReady = Socket.waitForConnected(100);
            if (!FReady)
                QTest::qWait(50);
        }
    }
    ~TSubmitServer() {
        FProcess.terminate();
        if (!FProcess.waitForFinished(3000))
            FProcess.kill();
        FProcess.waitForFinished(3000);
    }
    bool Ready() const { return FReady; }
    QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(FPort); }

private:
    QProcess FProcess;
    quint16 FPort = 0;
    bool FReady = false;
};

// The status code and body of one multipart POST.
std::pair<int, QByteArray> Post(const QString& Address,
                                const std::vector<std::tuple<QString, QString, QByteArray>>& PartsList,
                                const QByteArray& Method = "POST") {
    QNetworkAccessManager Network;
    QNetworkRequest Request(QUrl(QStringLiteral("http://%1/submit.php").arg(Address)));
    QNetworkReply* Reply = nullptr;
    if (Method == "POST") {
        auto* Parts = new QHttpMultiPart(QHttpMultiPart::FormDataType);
        for (const auto& [Name, FileName, Body] : PartsList) {
            QHttpPart Part;
            Part.setHeader(QNetworkRequest::ContentDispositionHeader,
                           QStringLiteral("form-data; name=\"%1\"; filename=\"%2\"").arg(Name, FileName));
            Part.setBody(Body);
            Parts->append(Part);
        }
        Reply = Network.post(Request, Parts);
        Parts->setParent(Reply);
    } else {
        Reply = Network.get(Request);
    }
    QEventLoop Loop;
    QObject::connect(Reply, &QNetworkReply::finished, &Loop, &QEventLoop::quit);
    Loop.exec();
    const int Status = Reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QByteArray Body = Reply->readAll();
    delete Reply;
    return {Status, Body};
}

bool IsEightBitPng(const QByteArray& Png) {
    // IHDR: bit depth at byte 24, colour type at 25 (3 = palette).
    return Png.startsWith("\x89PNG\r\n\x1a\n") && Png.size() > 26 && Png[24] == 8 && Png[25] == 3;
}

} // namespace

TEST(CrashReporter, ReportFolderFollowsXdgStateHome) {
    const QString Home = QDir::homePath();
    const QByteArray State = QDir::tempPath().toUtf8() + "/state-here";
    struct {
        QByteArray Value;
        QString Folder;
    } const Cases[] = {
        {State, QString::fromUtf8(State) + "/gorvane"},
        {"relative/state", Home + "/.local/state/gorvane"},
        {"", Home + "/.local/state/gorvane"},
    };
    for (const auto& Case : Cases) {
        TScopedEnv Env("XDG_STATE_HOME", Case.Value);
        EXPECT_EQ(BugReportFolder(), Case.Folder) << Case.Value.toStdString();
        EXPECT_EQ(BugReportFileName(), Case.Folder + "/bugreport.txt");
    }
    TScopedEnv Server("GORVANE_CRASH_SERVER", " crash.example:8080 ");
    EXPECT_EQ(CrashReportServer(), "crash.example:8080");
}

TEST(CrashReporter, ReportFileKeepsTheNewestReportsWithinItsLimit) {
    QTemporaryDir Dir;
    const QString File = Dir.filePath("sub/bugreport.txt");
    auto Report = [](int Number, int Size) {
        return QStringLiteral("===== bug report =====\nnumber %1\n").arg(Number) +
               QString(Size, QLatin1Char('x'));
    };
    for (int Number = 1; Number <= 5; ++Number)
        ASSERT_TRUE(AppendBugReport(File, Report(Number, 30000)));
    QByteArray Content = ReadAll(File);
    EXPECT_LE(Content.size(), MaxBugReportFileSize);
    EXPECT_TRUE(Content.startsWith("===== bug report =====\nnumber 3\n"));
    EXPECT_TRUE(Content.contains("number 5\n"));
    EXPECT_FALSE(Content.contains("number 2\n"));

    ASSERT_TRUE(AppendBugReport(File, Report(6, 150000)));
    Content = ReadAll(File);
    EXPECT_EQ(Content.size(), MaxBugReportFileSize);
    EXPECT_TRUE(Content.startsWith("===== bug report =====\nnumber 6\n"));
}

TEST(CrashReporter, UncaughtExceptionsInEventHandlersAreReportedOnce) {
    TTestReporter Test;
    static_cast<TGorvaneApplication*>(qApp)->SetCrashReporter(&Test.Reporter);
    TThrower Object;
    int Count = 0;
    Object.Throw = [&] { ThrowFromDeepInside("broken handler " + std::to_string(Count / 2)); };
    for (; Count < 4; ++Count) {
        QEvent Event(QEvent::User);
        QCoreApplication::sendEvent(&Object, &Event);
    }
    Object.Throw = [] { throw 42; };
    QEvent Event(QEvent::User);
    QCoreApplication::sendEvent(&Object, &Event);
    static_cast<TGorvaneApplication*>(qApp)->SetCrashReporter(nullptr);

    // Two distinct messages and the int: three boxes, three reports.
    EXPECT_EQ(Test.Boxes, 3);
    const QString Report = Test.Report();
    EXPECT_EQ(Report.count("===== bug report ====="), 3);
    EXPECT_EQ(Report.count("exception class: std::runtime_error\nexception message: broken handler 0\n"), 1);
    EXPECT_EQ(Report.count("broken handler 1"), 1);
    EXPECT_TRUE(Report.contains("exception class: int\n"));
    EXPECT_TRUE(Report.contains("program version: " GORVANE_VERSION "\n"));
    EXPECT_TRUE(Report.contains("operating system: "));
    EXPECT_TRUE(Report.contains("date/time: 20"));
    EXPECT_TRUE(Report.contains("stack trace:\n  #0 ")) << Report.toStdString();
    // The trace is the thrower's: the throwing function is among its first frames.
    const QString Trace = Report.section("stack trace:\n", 1, 1).section("\n", 0, 3);
    EXPECT_TRUE(Trace.contains("ThrowFromDeepInside")) << Report.toStdString();
    EXPECT_TRUE(Test.Exits.empty());
}

TEST(CrashReporter, FailureWhileTheBoxIsUpIsWrittenButNotShown) {
    TTestReporter Test;
    Test.Reporter.BoxHook = [&](TCrashBox&) {
        ++Test.Boxes;
        EXPECT_EQ(Test.Reporter.HandleException(std::make_exception_ptr(std::runtime_error("inner"))),
                  TCrashAction::Continue);
        return TCrashAction::Continue;
    };
    Test.Reporter.HandleException(std::make_exception_ptr(std::runtime_error("outer")));
    EXPECT_EQ(Test.Boxes, 1);
    EXPECT_TRUE(Test.Report().contains("exception message: inner\n"));
    EXPECT_EQ(
        QFile::permissions(Test.Reporter.ReportFile) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);
    Test.Reporter.HandleException(std::make_exception_ptr(std::runtime_error("later")));
    EXPECT_EQ(Test.Boxes, 2);
}

TEST(CrashReporter, RestartAndCloseEndTheProgram) {
    struct {
        TCrashAction Answer;
        int Starts;
        int Exits;
    } const Cases[] = {
        {TCrashAction::Continue, 0, 0}, {TCrashAction::Restart, 1, 1}, {TCrashAction::Close, 0, 1}};
    for (const auto& Case : Cases) {
        TTestReporter Test;
        Test.Answers = {Case.Answer};
        EXPECT_EQ(Test.Reporter.HandleException(std::make_exception_ptr(std::logic_error("x"))), Case.Answer);
        EXPECT_EQ(Test.Started.size(), Case.Starts);
        if (Case.Starts) {
            EXPECT_EQ(Test.Started[0], QCoreApplication::applicationFilePath());
        }
        EXPECT_EQ(int(Test.Exits.size()), Case.Exits);
    }
}

TEST(CrashReporter, BoxShowsTheReportAndSaysWhenNoServerIsConfigured) {
    QApplication::setApplicationDisplayName("Gorvane");
    TTestReporter Test;
    Test.Reporter.BoxHook = [&](TCrashBox& Box) {
        EXPECT_EQ(Box.windowTitle(), "Gorvane");
        EXPECT_TRUE(Box.findChild<QLabel*>("labelMessage")->text() ==
                    "An error occurred in the application.");
        const std::pair<QPushButton*, const char*> Buttons[] = {{Box.bnSend, "send bug report"},
                                                                {Box.bnShow, "show bug report"},
                                                                {Box.bnContinue, "continue application"},
                                                                {Box.bnRestart, "restart application"},
                                                                {Box.bnClose, "close application"}};
        for (const auto& [Button, Caption] : Buttons)
            EXPECT_EQ(Button->text(), Caption);
        Box.show();
        QTest::mouseClick(Box.bnShow, Qt::LeftButton);
        EXPECT_TRUE(Box.ReportShown());
        QTest::mouseClick(Box.bnSend, Qt::LeftButton);
        EXPECT_TRUE(Box.Status().startsWith("No crash-report server is configured"))
            << Box.Status().toStdString();
        QTest::mouseClick(Box.bnContinue, Qt::LeftButton);
        EXPECT_EQ(Box.Action(), TCrashAction::Continue);
        return Box.Action();
    };
    Test.Reporter.HandleException(std::make_exception_ptr(std::out_of_range("index 7")));
    EXPECT_TRUE(QFile::exists(Test.Reporter.ReportFile));
}

TEST(CrashReporter, ScreenshotHasEightBitsPerPixel) {
    QWidget Window;
    Window.resize(120, 80);
    Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));
    EXPECT_TRUE(IsEightBitPng(ProgramScreenshot()));
}

TEST(CrashReporter, SendUploadsToTheServerAndDeletesTheReport) {
    QTemporaryDir Store;
    TSubmitServer Server(Store.path());
    if (!Server.Ready())
        GTEST_SKIP() << "php is not available";
    QWidget Window;
    Window.resize(120, 80);
    Window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Window));

    QTcpServer Closed; // a port where nothing answers once closed
    Closed.listen(QHostAddress::LocalHost, 0);
    const QString Nowhere = QStringLiteral("127.0.0.1:%1").arg(Closed.serverPort());
    Closed.close();

    struct {
        QString Server;
        bool Sent;
    } const Cases[] = {{Nowhere, false}, {Server.Address(), true}};
    for (const auto& Case : Cases) {
        TTestReporter Test;
        Test.Reporter.Server = Case.Server;
        Test.Reporter.BoxHook = [&](TCrashBox& Box) {
            QSignalSpy Finished(&Box, &TCrashBox::SendFinished);
            Box.SendReport();
            EXPECT_TRUE(Box.Sending());
            EXPECT_TRUE(Finished.wait(20000));
            EXPECT_EQ(Finished.value(0).value(0).toBool(), Case.Sent) << Box.Status().toStdString();
            EXPECT_EQ(Box.Status().startsWith(Case.Sent ? "The bug report was sent"
                                                        : "The bug report could not be sent"),
                      true)
                << Box.Status().toStdString();
            return TCrashAction::Continue;
        };
        Test.Reporter.HandleException(std::make_exception_ptr(std::runtime_error("upload me")));
        EXPECT_EQ(QFile::exists(Test.Reporter.ReportFile), !Case.Sent);
    }

    const QStringList Reports = QDir(Store.path()).entryList({"*.txt"});
    ASSERT_EQ(Reports.size(), 1);
    EXPECT_TRUE(ReadAll(Store.filePath(Reports[0])).contains("exception message: upload me\n"));
    const QStringList Pictures = QDir(Store.path()).entryList({"*.png"});
    ASSERT_EQ(Pictures.size(), 1);
    EXPECT_TRUE(IsEightBitPng(ReadAll(Store.filePath(Pictures[0]))));
}

TEST(CrashReporter, SubmitScriptStoresSafelyAndRefusesBadUploads) {
    QTemporaryDir Root;
    const QString Store = Root.filePath("store");
    TSubmitServer Server(Store);
    if (!Server.Ready())
        GTEST_SKIP() << "php is not available";
    const QByteArray Png("\x89PNG\r\n\x1a\n0000", 12);
    struct {
        const char* Name;
        std::vector<std::tuple<QString, QString, QByteArray>> Parts;
        QByteArray Method;
        int Status;
    } const Cases[] = {
        {"client path ignored", {{"bugreport.txt", "../../escape.txt", "report"}}, "POST", 200},
        {"get", {}, "GET", 405},
        {"no report", {{"screenshot.png", "screenshot.png", Png}}, "POST", 400},
        {"empty report", {{"bugreport.txt", "bugreport.txt", ""}}, "POST", 400},
        {"report too large", {{"bugreport.txt", "bugreport.txt", QByteArray(200001, 'x')}}, "POST", 413},
        {"no png",
         {{"bugreport.txt", "bugreport.txt", "r"}, {"screenshot.png", "screenshot.png", "GIF89a"}},
         "POST",
         400},
    };
    for (const auto& Case : Cases) {
        const auto [Status, Body] = Post(Server.Address(), Case.Parts, Case.Method);
        EXPECT_EQ(Status, Case.Status) << Case.Name << ": " << Body.toStdString();
    }
    const QStringList Stored = QDir(Store).entryList(QDir::Files);
    ASSERT_EQ(Stored.size(), 1);
    EXPECT_TRUE(QRegularExpression("^\\d{8}-\\d{6}-[0-9a-f]{16}\\.txt$").match(Stored[0]).hasMatch())
        << Stored[0].toStdString();
    EXPECT_FALSE(QFile::exists(Root.filePath("escape.txt")));
    EXPECT_FALSE(QFile::exists(QDir(GORVANE_SERVER_DIR).filePath("../escape.txt")));
}

// The crash child fails as told; what it leaves in its report file shows what the reporter did.
TEST(CrashReporter, FatalSignalsAndUnhandledExceptionsLeaveAReport) {
    struct {
        const char* Mode;
        const char* Expected;
    } const Cases[] = {{"segv", "exception class: SIGSEGV"},
                       {"abort", "exception class: SIGABRT"},
                       {"throw", "exception class: std::logic_error\nexception message: left unhandled\n"}};
    for (const auto& Case : Cases) {
        QTemporaryDir State;
        QProcess Child;
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        Env.insert("XDG_STATE_HOME", State.path());
        Env.insert("ASAN_OPTIONS", "handle_segv=0:handle_abort=0:detect_leaks=0");
        Child.setProcessEnvironment(Env);
        Child.start(QStringLiteral(GORVANE_CRASH_CHILD), {Case.Mode});
        ASSERT_TRUE(Child.waitForFinished(30000)) << Case.Mode;
        EXPECT_EQ(Child.exitStatus(), QProcess::CrashExit) << Case.Mode;
        const QByteArray Report = ReadAll(State.filePath("gorvane/bugreport.txt"));
        EXPECT_TRUE(Report.contains(Case.Expected)) << Case.Mode << ":\n" << Report.toStdString();
        EXPECT_EQ(Report.count("===== bug report ====="), 1) << Case.Mode;
        EXPECT_TRUE(Report.contains("stack trace:\n")) << Case.Mode;
    }
}

TEST(CrashReporter, AlteredCopyOfTheProgramReportsACorruptFile) {
    QTemporaryDir Dir;
    const QString Copy = Dir.filePath("crash-child");
    QByteArray Image = ReadAll(GORVANE_CRASH_CHILD);
    auto Run = [&](const QString& Program) {
        QProcess Child;
        QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
        Env.insert("XDG_STATE_HOME", Dir.filePath("state"));
        Child.setProcessEnvironment(Env);
        Child.start(Program, {"checksum"});
        Child.waitForFinished(30000);
        return Child.readAllStandardOutput();
    };
    EXPECT_EQ(Run(GORVANE_CRASH_CHILD), "sound\n");
    const QByteArray Company = QByteArray("H\0a\0l\0v\0e\0s\0s\0a\0", 16);
    const qsizetype At = Image.indexOf(Company);
    ASSERT_GE(At, 0);
    Image[At] = 'X';
    QFile Out(Copy);
    ASSERT_TRUE(Out.open(QIODevice::WriteOnly));
    Out.write(Image);
    Out.close();
    Out.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(Run(Copy), "corrupt\n");
    EXPECT_TRUE(
        ReadAll(Dir.filePath("state/gorvane/bugreport.txt")).contains("exception class: ECorruptFile\n"));
}

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TGorvaneApplication Application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
