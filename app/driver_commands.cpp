#include "app/driver_commands.h"

#include "app/install_layout.h"

namespace app {

DriverCommands::DriverCommands(QObject* parent) : QObject(parent) {
  connect(&queue_, &platform::CommandQueue::finished, this, [this](const QStringList& timed_out) {
    for (const QString& line : timed_out) emit timedOut(line);
    emit runningChanged(false);
  });
}

QStringList DriverCommands::ToolFolders() {
  return ComponentFolders();
}

void DriverCommands::Run(const QStringList& command_lines) {
  if (queue_.Start(command_lines, limit_, ToolFolders())) emit runningChanged(true);
}

void DriverCommands::InstallDriver() {
  Run({kRegisterDriverCommand, kInstallDriverServiceCommand});
}

void DriverCommands::RemoveDriver() {
  Run({kRemoveDriverCommand});
}

}  // namespace app
