// A program that fails in the way its argument names, for the crash reporter's tests:
// "segv", "abort", "throw" (an exception nobody catches) or "checksum" (its own file's check).
#include "about/hlvChecksum.h"
#include "ui/hlvApplication.h"
#include "ui/hlvCrashReporter.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TGorvaneApplication Application(argc, argv);
    TCrashReporter Reporter;
    Reporter.BoxHook = [](TCrashBox&) { return TCrashAction::Close; };
    Reporter.Exit = [](int Code) { std::exit(Code); };
    Reporter.Install();
    const char* Mode = argc > 1 ? argv[1] : "";
    if (std::strcmp(Mode, "segv") == 0)
        std::raise(SIGSEGV);
    if (std::strcmp(Mode, "abort") == 0)
        std::abort();
    if (std::strcmp(Mode, "throw") == 0)
        throw std::logic_error("left unhandled");
    if (std::strcmp(Mode, "checksum") == 0) {
        const QString Self = QCoreApplication::applicationFilePath();
        if (CheckExecutableChecksum(Self.toStdString()) == TChecksumResult::Corrupt) {
            std::puts("corrupt");
            std::fflush(stdout);
            Reporter.ReportCorruptFile(Self);
        }
        std::puts("sound");
        return 0;
    }
    return 2;
}
