#pragma once
// Session changes from logind over D-Bus: the program's own session being
// locked and unlocked, and that session leaving or becoming its seat's active
// session (another user switched in, or back). Events carry the session-change
// codes the program's reactions know: 1 connect, 2 disconnect, 7 lock, 8 unlock.

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace platform {

inline constexpr int kSessionConsoleConnect = 1;
inline constexpr int kSessionConsoleDisconnect = 2;
inline constexpr int kSessionLock = 7;
inline constexpr int kSessionUnlock = 8;

class SessionNotifications final : public QObject {
  Q_OBJECT

 public:
  explicit SessionNotifications(QObject* parent = nullptr) : QObject(parent) {}
  ~SessionNotifications() override { Unregister(); }

  // Finds the program's session on bus (the system bus, where logind lives)
  // and subscribes to its changes. false, and no events, without logind or
  // outside any session.
  bool Register(const QDBusConnection& bus);
  void Unregister();
  bool registered() const { return registered_; }
  QString session_path() const { return session_.path(); }

 signals:
  // Lock and disconnect concern the program's session; unlock and connect
  // come only while it is the active session of its seat.
  void sessionChanged(int event);

 private slots:
  void OnLock();
  void OnUnlock();
  void OnSessionProperties(const QString& interface, const QVariantMap& changed,
                           const QStringList& invalidated);
  void OnSeatProperties(const QString& interface, const QVariantMap& changed,
                        const QStringList& invalidated);

 private:
  QDBusObjectPath FindOwnSession() const;
  QVariant Property(const QString& path, const QString& interface, const QString& name) const;
  bool SessionActive() const;
  void SeatActiveSessionChanged(const QDBusObjectPath& active);
  bool Subscribe(bool connect, const QString& path, const QString& interface, const QString& name,
                 const char* slot);

  QDBusConnection bus_{QString()};
  QDBusObjectPath session_;
  QDBusObjectPath seat_;
  bool ours_active_ = false;
  bool registered_ = false;
};

}  // namespace platform
