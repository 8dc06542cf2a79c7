#pragma once
// F1 (without Shift, Ctrl or Alt) in any window of the program, dialogs
// included, calls for help: the bank's web site.

#include <functional>

#include <QObject>

namespace app {

class HelpKeyFilter final : public QObject {
 public:
  // Watches the whole application for as long as the object lives.
  explicit HelpKeyFilter(std::function<void()> on_help, QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> on_help_;
};

}  // namespace app
