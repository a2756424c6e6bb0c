// Gorvane: the program entry. The start-up order is written out here rather than left to the order
// in which static objects happen to be initialised.
#include "about/hlvChecksum.h"
#include "about/hlvUIDlgAbout.h"
#include "app/FormUnitGorvane.h"
#include "app/QtConfigForms.h"
#include "registry/hlvRegHives.h"
#include "settings/hlvConfig.h"
#include "ui/hlvApplication.h"
#include "ui/hlvCrashReporter.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

void PrintHelp() {
    std::puts("Usage: gorvane\n"
              "Gorvane shows the registry tweaks of the INI files in the \"Tweaks\" folder beside the\n"
              "program and lets you apply and undo them. It takes no options.\n"
              "Off Windows the registry is Gorvane's own store; GORVANE_REGISTRY_DIR names its folder.");
}

} // namespace

int main(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            PrintHelp();
            return 0;
        }
    }

    // 1. The units' initialisation: the event-log source, then the settings manager with the
    //    default application title (from the executable's name, before the title is set below).
    RegisterHiveManagerEventSource();
    InitializeConfigManager(DefaultApplicationTitle(argc > 0 ? argv[0] : "gorvane"));

    int exitCode = 0;
    {
        // 2. The application object, titled "Gorvane".
        TGorvaneApplication application(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Gorvane"));
        QApplication::setApplicationDisplayName(QStringLiteral("Gorvane"));
        QApplication::setWindowIcon(GorvaneIcon());

        // The crash reporter takes every exception no handler catches, and the fatal signals; it
        // also reports a program file whose checksum no longer matches.
        TCrashReporter crashReporter;
        crashReporter.Install();
        const QString exeName = ApplicationExeName();
        if (CheckExecutableChecksum(exeName.toStdString()) == TChecksumResult::Corrupt)
            crashReporter.ReportCorruptFile(exeName);
        ConfigManager->ApplicationForms = ApplicationConfigForms;

        try {
            // 3. The main window: its design, then FormCreate.
            TFormGorvane form;

            // 4. The message loop until the main window closes; FormShow runs when it first shows,
            //    FormClose when it closes, FormDestroy when it goes out of scope.
            form.show();
            exitCode = QApplication::exec();
        } catch (...) {
            // A failed start leaves no window to continue with.
            crashReporter.HandleException(std::current_exception());
            exitCode = 1;
        }
    }

    // 5. The units' finalisation.
    FinalizeConfigManager();
    return exitCode;
}
