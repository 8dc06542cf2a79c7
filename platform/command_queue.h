#pragma once
// Command lines run by the shell (sh -c), one after another, without blocking
// the caller's thread: each run starts when the one before it has ended,
// whatever its result, and a run that outlasts the time limit is ended
// together with everything it started.

#include <chrono>
#include <memory>

#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

namespace platform {

class CommandQueue final : public QObject {
  Q_OBJECT

 public:
  explicit CommandQueue(QObject* parent = nullptr);
  ~CommandQueue() override;

  // false (nothing started) while an earlier sequence still runs. The folders
  // in extra_path are searched after the user's PATH.
  bool Start(const QStringList& command_lines, std::chrono::milliseconds limit,
             const QStringList& extra_path = {});
  bool running() const { return process_ != nullptr; }

 signals:
  // The whole sequence is over; timed_out lists the lines that were ended.
  void finished(const QStringList& timed_out);

 private:
  void RunNext();
  void OnRunEnded();
  void EndRun();

  QStringList pending_;
  QStringList timed_out_;
  QString current_;
  std::chrono::milliseconds limit_{0};
  QStringList extra_path_;
  std::unique_ptr<QProcess> process_;
  QTimer deadline_;
};

}  // namespace platform
