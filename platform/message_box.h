#pragma once
// A modal message box with an OK button.

#include <QString>

namespace platform {

enum class MessageIcon { kNone, kInformation };

// With no screen to show it on (the offscreen platform) nobody could press OK,
// so the text goes to standard error and the call returns at once.
void ShowMessageBox(const QString& text, const QString& title, MessageIcon icon);

}  // namespace platform
