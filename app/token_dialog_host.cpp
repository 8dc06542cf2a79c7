#include "app/token_dialog_host.h"

#include <algorithm>

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include "providers/test_hooks.h"
#include "providers/token_selection.h"

namespace app {
namespace {

// The test-only answer hook: the dialog is shown as usual, then answered as
// if the password had been typed and OK pressed; an unusable answer file
// cancels it.
void AnswerFromHook(CGetPassDlg* dialog) {
  const auto password = providers::DialogAnswerFromHook();
  if (!password) return dialog->reject();
  dialog->SetPassword(*password);
  dialog->accept();
}

}  // namespace

providers::TokenDialogAnswer TokenDialogHost::ShowTokenDialog(const providers::TokenDialogRequest& request) {
  auto pending = std::make_shared<Pending>();
  pending->request = request;
  {
    std::lock_guard guard(mutex_);
    if (closed_) return {};
    pending_.push_back(pending);
  }
  if (QThread::currentThread() == thread()) {
    // Asked on the window thread itself: its own loop runs meanwhile.
    Present(pending);
    QEventLoop loop;
    while (!pending->done) loop.processEvents(QEventLoop::WaitForMoreEvents);
  } else {
    QMetaObject::invokeMethod(this, [this, pending] { Present(pending); }, Qt::QueuedConnection);
  }
  std::unique_lock guard(mutex_);
  answered_.wait(guard, [&] { return pending->done; });
  pending_.erase(std::find(pending_.begin(), pending_.end(), pending));
  return std::move(pending->answer);
}

void TokenDialogHost::Present(const std::shared_ptr<Pending>& pending) {
  {
    std::lock_guard guard(mutex_);
    if (pending->done) return;  // cancelled before it could show
  }
  auto* dialog = new CGetPassDlg(components_, pending->request.choose_token,
                                 providers::RequesterLine(pending->request.origin));
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  pending->dialog = dialog;
  connect(dialog, &QDialog::finished, this,
          [this, pending, dialog](int result) { Finish(pending, dialog, result == QDialog::Accepted); });
  dialog->open();
  emit Presented(dialog);
  if (providers::DialogAnswerHookSet())
    QTimer::singleShot(0, dialog, [dialog] { AnswerFromHook(dialog); });
}

void TokenDialogHost::Finish(const std::shared_ptr<Pending>& pending, CGetPassDlg* dialog,
                             bool accepted) {
  providers::TokenDialogAnswer answer;
  answer.accepted = accepted;
  answer.selected_token_id = providers::SerialOfTokenText(dialog->token_text());
  answer.entered_password = dialog->TakePassword();
  if (!accepted) answer = {};
  {
    std::lock_guard guard(mutex_);
    if (pending->done) return;  // cancelled already
    pending->answer = std::move(answer);
    pending->done = true;
  }
  answered_.notify_all();
}

void TokenDialogHost::Close() {
  std::vector<QPointer<CGetPassDlg>> open;
  {
    std::lock_guard guard(mutex_);
    closed_ = true;
    for (const auto& pending : pending_) {
      if (pending->done) continue;
      pending->done = true;
      open.push_back(pending->dialog);
    }
  }
  answered_.notify_all();
  for (const auto& dialog : open)
    if (dialog) dialog->reject();
}

void TokenDialogHost::Open() {
  std::lock_guard guard(mutex_);
  closed_ = false;
}

}  // namespace app
