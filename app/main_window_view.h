#pragma once
// What the server lifecycle needs of the main window and the tray.

#include <QString>
#include <QStringList>

namespace app {

class MainWindowView {
 public:
  virtual ~MainWindowView() = default;
  virtual void AddListLine(const QString& message) = 0;       // time-stamped
  virtual void AddPlainListLine(const QString& message) = 0;  // as it is
  // Running: start button 1003 hidden, stop button 1002 shown; stopped: the reverse.
  virtual void ShowServerButtons(bool running) = 0;
  virtual void EnableStopButton() = 0;
  virtual void StoreControls() = 0;
  // The reverse: the controls show the stored values again.
  virtual void LoadControls() = 0;
  virtual void CenterWindow() = 0;
  virtual void SetProviderList(const QStringList& names) = 0;
  // Selects the first entry that begins with prefix; none when no entry does.
  virtual void SelectProviderStartingWith(const QString& prefix) = 0;
  virtual QString SelectedProviderText() const = 0;
  virtual void UpdateTrayIcon(bool running, const QString& provider) = 0;
  virtual void RemoveTrayIcon() = 0;
  virtual void ShowInformation(const QString& message) = 0;
  // Ends the message loop, so the process ends with code 0.
  virtual void Quit() = 0;
};

}  // namespace app
