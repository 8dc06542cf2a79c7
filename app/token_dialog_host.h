#pragma once
// The hand-over of the token dialog from the request thread to the window
// thread: the request thread waits for the answer; stopping the service or
// leaving the program cancels a dialog that is open and any that is asked for
// until the service starts again.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include <QObject>
#include <QPointer>

#include "app/token_dialog.h"
#include "providers/token_dialog.h"

namespace app {

class TokenDialogHost final : public QObject, public providers::TokenDialog {
  Q_OBJECT

 public:
  // Made on the window thread, where the dialogs will show.
  explicit TokenDialogHost(providers::TokenComponents& components) : components_(components) {}
  ~TokenDialogHost() override { Close(); }

  // Blocks the calling thread until the answer.
  providers::TokenDialogAnswer ShowTokenDialog(const providers::TokenDialogRequest& request) override;
  // Window thread: open dialogs answer Cancel, and so does every later one
  // until Open.
  void Close();
  void Open();

 signals:
  // A dialog is on the screen (for the tests and the answer hook).
  void Presented(app::CGetPassDlg* dialog);

 private:
  struct Pending {
    providers::TokenDialogRequest request;
    bool done = false;
    providers::TokenDialogAnswer answer;
    QPointer<CGetPassDlg> dialog;
  };
  void Present(const std::shared_ptr<Pending>& pending);
  void Finish(const std::shared_ptr<Pending>& pending, CGetPassDlg* dialog, bool accepted);

  providers::TokenComponents& components_;
  std::mutex mutex_;
  std::condition_variable answered_;
  bool closed_ = false;
  std::vector<std::shared_ptr<Pending>> pending_;
};

}  // namespace app
