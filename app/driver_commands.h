#pragma once
// The token driver service commands of the settings dialog. The shell runs
// elevate, which runs TokenDriverHost with administrator rights. The runs go
// on in the background with a time limit: waiting for them (and for the
// password prompt they may show) must not freeze the window.

#include <chrono>

#include <QObject>
#include <QStringList>

#include "platform/command_queue.h"

namespace app {

inline const QString kRegisterDriverCommand = QStringLiteral("elevate TokenDriverHost /RegServer");
inline const QString kInstallDriverServiceCommand =
    QStringLiteral("elevate TokenDriverHost -service");
inline const QString kRemoveDriverCommand = QStringLiteral("elevate TokenDriverHost /UnRegServer");
// Long enough to answer a password prompt.
inline constexpr std::chrono::milliseconds kDriverCommandLimit{std::chrono::minutes(3)};

class DriverCommands final : public QObject {
  Q_OBJECT

 public:
  explicit DriverCommands(QObject* parent = nullptr);

  // Register, then install as a service (also when registering failed).
  void InstallDriver();
  void RemoveDriver();
  bool running() const { return queue_.running(); }
  void set_limit(std::chrono::milliseconds limit) { limit_ = limit; }
  // Folders searched after PATH: the program's own and the components' (install_layout.h).
  static QStringList ToolFolders();

 signals:
  void runningChanged(bool running);
  // A run was ended at the time limit.
  void timedOut(const QString& command_line);

 private:
  void Run(const QStringList& command_lines);

  platform::CommandQueue queue_;
  std::chrono::milliseconds limit_ = kDriverCommandLimit;
};

}  // namespace app
