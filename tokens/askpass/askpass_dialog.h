#pragma once
// The password prompt of the Avest vendor library: the text it was given, a
// masked password field, OK and Cancel.

#include <QDialog>
#include <QLineEdit>

namespace askpass {

class AskpassDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AskpassDialog(const QString& text, QWidget* parent = nullptr);
  QLineEdit* field() const { return field_; }
  // The typed password as UTF-8; the field is emptied.
  QByteArray TakePassword();

 private:
  QLineEdit* field_;
};

}  // namespace askpass
