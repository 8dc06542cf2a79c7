#pragma once
// The About box: what the program is, its version, and its maker with a link
// to the bank's web site.

#include <QDialog>

namespace app {

inline constexpr int kControlMakerLink = 1009;

class CAboutDlg final : public QDialog {  // NOLINT: the window class keeps its name
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace app
