#include "ui/hlvApplication.h"

#include "ui/hlvCrashReporter.h"

#include <exception>

TGorvaneApplication::TGorvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TGorvaneApplication::notify(QObject* Receiver, QEvent* Event) {
    try {
        return QApplication::notify(Receiver, Event);
    } catch (...) {
        TCrashReporter* Reporter = FReporter ? FReporter : TCrashReporter::Instance();
        if (!Reporter)
            throw;
        Reporter->HandleException(std::current_exception());
        return false;
    }
}
