#include "platform/session_notifications.h"

#include <unistd.h>

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusVariant>

namespace platform {
namespace {

const QString kService = QStringLiteral("org.freedesktop.login1");
const QString kManagerPath = QStringLiteral("/org/freedesktop/login1");
const QString kManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");
const QString kSeat = QStringLiteral("org.freedesktop.login1.Seat");
const QString kUser = QStringLiteral("org.freedesktop.login1.User");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
constexpr int kCallTimeoutMs = 3000;

// The object path of an (so) pair, as logind gives sessions, seats and displays.
QDBusObjectPath PathOfPair(const QVariant& value) {
  if (!value.canConvert<QDBusArgument>()) return {};
  const auto argument = value.value<QDBusArgument>();
  QString id;
  QDBusObjectPath path;
  argument.beginStructure();
  argument >> id >> path;
  argument.endStructure();
  return path;
}

bool IsObject(const QDBusObjectPath& path) {
  return !path.path().isEmpty() && path.path() != QLatin1String("/");
}

}  // namespace

QVariant SessionNotifications::Property(const QString& path, const QString& interface,
                                        const QString& name) const {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, path, kProperties,
                                                     QStringLiteral("Get"));
  call << interface << name;
  const QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  return reply.arguments().front().value<QDBusVariant>().variant();
}

QDBusObjectPath SessionNotifications::FindOwnSession() const {
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kManagerPath, kManager,
                                                     QStringLiteral("GetSessionByPID"));
  call << static_cast<uint>(getpid());
  QDBusMessage reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
    return reply.arguments().front().value<QDBusObjectPath>();
  // Started by the user's service manager (autostart), outside any session:
  // the user's graphical session is the one to follow.
  call = QDBusMessage::createMethodCall(kService, kManagerPath, kManager,
                                        QStringLiteral("GetUser"));
  call << static_cast<uint>(getuid());
  reply = bus_.call(call, QDBus::Block, kCallTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  const auto user = reply.arguments().front().value<QDBusObjectPath>();
  return PathOfPair(Property(user.path(), kUser, QStringLiteral("Display")));
}

bool SessionNotifications::Subscribe(bool connect, const QString& path, const QString& interface,
                                     const QString& name, const char* slot) {
  return connect ? bus_.connect(kService, path, interface, name, this, slot)
                 : bus_.disconnect(kService, path, interface, name, this, slot);
}

bool SessionNotifications::Register(const QDBusConnection& bus) {
  Unregister();
  bus_ = bus;
  if (!bus_.isConnected()) return false;
  session_ = FindOwnSession();
  if (!IsObject(session_)) return false;
  seat_ = PathOfPair(Property(session_.path(), kSession, QStringLiteral("Seat")));
  const QString path = session_.path();
  bool ok = Subscribe(true, path, kSession, QStringLiteral("Lock"), SLOT(OnLock())) &&
            Subscribe(true, path, kSession, QStringLiteral("Unlock"), SLOT(OnUnlock())) &&
            Subscribe(true, path, kProperties, QStringLiteral("PropertiesChanged"),
                      SLOT(OnSessionProperties(QString, QVariantMap, QStringList)));
  if (ok && IsObject(seat_)) {
    ours_active_ = PathOfPair(Property(seat_.path(), kSeat, QStringLiteral("ActiveSession"))) ==
                   session_;
    ok = Subscribe(true, seat_.path(), kProperties, QStringLiteral("PropertiesChanged"),
                   SLOT(OnSeatProperties(QString, QVariantMap, QStringList)));
  }
  registered_ = true;  // so that Unregister undoes whatever was subscribed
  if (!ok) Unregister();
  return ok;
}

void SessionNotifications::Unregister() {
  if (!registered_) return;
  registered_ = false;
  const QString path = session_.path();
  Subscribe(false, path, kSession, QStringLiteral("Lock"), SLOT(OnLock()));
  Subscribe(false, path, kSession, QStringLiteral("Unlock"), SLOT(OnUnlock()));
  Subscribe(false, path, kProperties, QStringLiteral("PropertiesChanged"),
            SLOT(OnSessionProperties(QString, QVariantMap, QStringList)));
  if (IsObject(seat_))
    Subscribe(false, seat_.path(), kProperties, QStringLiteral("PropertiesChanged"),
              SLOT(OnSeatProperties(QString, QVariantMap, QStringList)));
}

bool SessionNotifications::SessionActive() const {
  const QVariant active = Property(session_.path(), kSession, QStringLiteral("Active"));
  return !active.isValid() || active.toBool();  // unknown: an unlock still starts the server
}

void SessionNotifications::OnLock() {
  emit sessionChanged(kSessionLock);
}

void SessionNotifications::OnUnlock() {
  if (SessionActive()) emit sessionChanged(kSessionUnlock);
}

// Desktops that lock the screen themselves only report it through LockedHint.
void SessionNotifications::OnSessionProperties(const QString& interface,
                                               const QVariantMap& changed, const QStringList&) {
  if (interface != kSession) return;
  const auto locked = changed.find(QStringLiteral("LockedHint"));
  if (locked == changed.end()) return;
  if (locked->toBool()) {
    OnLock();
  } else {
    OnUnlock();
  }
}

void SessionNotifications::OnSeatProperties(const QString& interface, const QVariantMap& changed,
                                            const QStringList& invalidated) {
  if (interface != kSeat) return;
  const QString name = QStringLiteral("ActiveSession");
  if (const auto active = changed.find(name); active != changed.end()) {
    SeatActiveSessionChanged(PathOfPair(*active));
  } else if (invalidated.contains(name)) {
    SeatActiveSessionChanged(PathOfPair(Property(seat_.path(), kSeat, name)));
  }
}

void SessionNotifications::SeatActiveSessionChanged(const QDBusObjectPath& active) {
  const bool ours = active == session_;
  if (ours == ours_active_) return;
  ours_active_ = ours;
  emit sessionChanged(ours ? kSessionConsoleConnect : kSessionConsoleDisconnect);
}

}  // namespace platform
