#pragma once
// A modal message box with an OK button.

#include <functional>

#include <QString>

namespace platform {

enum class MessageIcon { kNone, kInformation, kExclamation };

// With no screen to show it on (the offscreen platform) nobody could press OK,
// so the text goes to standard error and the call returns at once.
void ShowMessageBox(const QString& text, const QString& title, MessageIcon icon);

// Where the boxes go instead while a sink is set (tests read them there); an
// empty function restores the screen.
using MessageSink = std::function<void(const QString& text, const QString& title, MessageIcon)>;
void SetMessageSink(MessageSink sink);

}  // namespace platform
