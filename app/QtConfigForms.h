#pragma once
// The Qt side of the settings manager: the application's forms as TConfigForm.
#include "settings/hlvConfig.h"

class QWidget;

// Every top-level main window or dialog with a component (object) name, in the application's order.
TConfigFormList ApplicationConfigForms();

// One window as the settings manager sees it; the window must outlive the object.
std::unique_ptr<TConfigForm> ConfigFormOf(QWidget* Window);
