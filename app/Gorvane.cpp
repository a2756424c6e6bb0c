// Gorvane: the program entry. The start-up order is written out here rather than left to the order
// in which static objects happen to be initialised.
#include "app/FormUnitGorvane.h"
#include "app/QtConfigForms.h"
#include "registry/hlvRegHives.h"
#include "settings/hlvConfig.h"

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
        QApplication application(argc, argv);
        QApplication::setApplicationName(QStringLiteral("Gorvane"));
        QApplication::setApplicationDisplayName(QStringLiteral("Gorvane"));
        ConfigManager->ApplicationForms = ApplicationConfigForms;

        // 3. The main window: its design, then FormCreate.
        TFormGorvane form;

        // 4. The message loop until the main window closes; FormShow runs when it first shows,
        //    FormClose when it closes, FormDestroy when it goes out of scope.
        form.show();
        exitCode = QApplication::exec();
    }

    // 5. The units' finalisation.
    FinalizeConfigManager();
    return exitCode;
}
