#pragma once
// Where the installation puts the program's companions. The build tree keeps
// them beside the program and in ../components; an installed program finds
// them in the installation's data and private library folders, given relative
// to its own folder so that the installation can be moved.

#include <QString>
#include <QStringList>

namespace app {

// The files that may hold the installation's autostart command line, in the
// order they are read: beside the program, then in the data folder.
QStringList InstallCommandFiles();

// The folders of the token components and driver tools, after PATH: the
// program's own, ../components, and the installation's private folder.
QStringList ComponentFolders();

}  // namespace app
