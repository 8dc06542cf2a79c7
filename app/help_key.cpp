#include "app/help_key.h"

#include <QCoreApplication>
#include <QKeyEvent>

namespace app {

HelpKeyFilter::HelpKeyFilter(std::function<void()> on_help, QObject* parent)
    : QObject(parent), on_help_(std::move(on_help)) {
  QCoreApplication::instance()->installEventFilter(this);
}

bool HelpKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  constexpr auto kChords = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
  if (key->key() != Qt::Key_F1 || (key->modifiers() & kChords) != 0 || key->isAutoRepeat())
    return QObject::eventFilter(watched, event);
  // The window system's copy and the widget's are one key press: the first one is taken.
  on_help_();
  return true;
}

}  // namespace app
