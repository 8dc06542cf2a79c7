#pragma once
// Saving what the settings dialog returned: the autostart entry and the
// settings file. Takes effect at the next program start.

#include <QString>
#include <QStringList>

#include "app/main_window_view.h"
#include "app/program.h"

namespace app {

// The command line autostart runs: the installation's file (beside the program
// or in the installation's data folder), or, where it is missing, the running
// program itself (reported in a message).
QStringList AutostartCommand();

// After the dialog ended with OK: autostart on or off, then the file's keys.
void SaveSettings(Program& program, MainWindowView& view);

}  // namespace app
