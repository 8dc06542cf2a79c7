#include "platform/command_queue.h"

#include <signal.h>
#include <unistd.h>

#include <QProcessEnvironment>

namespace platform {

CommandQueue::CommandQueue(QObject* parent) : QObject(parent) {
  deadline_.setSingleShot(true);
  connect(&deadline_, &QTimer::timeout, this, &CommandQueue::EndRun);
}

CommandQueue::~CommandQueue() {
  // Runs do not outlive the program's interest in them.
  if (process_) {
    process_->disconnect(this);
    EndRun();
  }
}

bool CommandQueue::Start(const QStringList& command_lines, std::chrono::milliseconds limit,
                         const QStringList& extra_path) {
  if (process_ || command_lines.isEmpty()) return false;
  pending_ = command_lines;
  timed_out_.clear();
  limit_ = limit;
  extra_path_ = extra_path;
  RunNext();
  return true;
}

void CommandQueue::RunNext() {
  if (pending_.isEmpty()) {
    process_.reset();
    emit finished(timed_out_);
    return;
  }
  current_ = pending_.takeFirst();
  process_ = std::make_unique<QProcess>();
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  QStringList path = environment.value(QStringLiteral("PATH")).split(u':', Qt::SkipEmptyParts);
  environment.insert(QStringLiteral("PATH"), (path + extra_path_).join(u':'));
  process_->setProcessEnvironment(environment);
  process_->setProcessChannelMode(QProcess::ForwardedChannels);
  process_->setInputChannelMode(QProcess::ForwardedInputChannel);
  // A group of its own, so that the time limit reaches whatever the run started.
  process_->setChildProcessModifier([] { setsid(); });
  connect(process_.get(), &QProcess::finished, this, &CommandQueue::OnRunEnded);
  connect(process_.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) OnRunEnded();
  });
  process_->start(QStringLiteral("sh"), {QStringLiteral("-c"), current_});
  deadline_.start(limit_);
}

void CommandQueue::OnRunEnded() {
  deadline_.stop();
  // The process object may be inside its own signal: let it go later.
  process_.release()->deleteLater();
  RunNext();
}

void CommandQueue::EndRun() {
  if (!process_) return;
  if (process_->state() != QProcess::NotRunning) {
    timed_out_ << current_;
    const auto group = static_cast<pid_t>(process_->processId());
    if (group > 0) kill(-group, SIGKILL);
    process_->waitForFinished(1000);
  }
}

}  // namespace platform
