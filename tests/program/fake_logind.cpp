// A logind of the tests' making on the bus that DBUS_SYSTEM_BUS_ADDRESS names:
// sessions c1 (every process's own) and c2 on seat0, c1 active at first. The
// tests drive it through org.tessel.FakeLogind at /org/freedesktop/login1/control:
// Lock(s) and Unlock(s) send the session's signals, SetLockedHint(s, b) and
// Activate(s) change properties and announce the change. Prints "ready" once
// it owns its name.

#include <cstdio>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QMap>

namespace {

const QString kRoot = QStringLiteral("/org/freedesktop/login1");
const QString kSessionPrefix = kRoot + QStringLiteral("/session/");
const QString kSeatPath = kRoot + QStringLiteral("/seat/seat0");
const QString kSession = QStringLiteral("org.freedesktop.login1.Session");
const QString kSeat = QStringLiteral("org.freedesktop.login1.Seat");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

QVariant Pair(const QString& id, const QString& path) {
  QDBusArgument argument;
  argument.beginStructure();
  argument << id << QDBusObjectPath(path);
  argument.endStructure();
  return QVariant::fromValue(argument);
}

class FakeLogind final : public QDBusVirtualObject {
 public:
  QString introspect(const QString&) const override { return {}; }

  bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
    const QString member = message.member();
    const QVariantList arguments = message.arguments();
    const QString id = arguments.value(0).toString();
    if (member == QLatin1String("GetSessionByPID")) {
      bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(kSessionPrefix + "c1"))));
    } else if (message.interface() == kProperties && member == QLatin1String("Get")) {
      bus.send(message.createReply(
          QVariant::fromValue(QDBusVariant(Property(message.path(), arguments.value(1).toString())))));
    } else if (member == QLatin1String("Lock") || member == QLatin1String("Unlock")) {
      bus.send(QDBusMessage::createSignal(kSessionPrefix + id, kSession, member));
      bus.send(message.createReply());
    } else if (member == QLatin1String("SetLockedHint")) {
      locked_[id] = arguments.value(1).toBool();
      Announce(bus, kSessionPrefix + id, kSession, QStringLiteral("LockedHint"), locked_[id]);
      bus.send(message.createReply());
    } else if (member == QLatin1String("Activate")) {
      active_ = id;
      Announce(bus, kSeatPath, kSeat, QStringLiteral("ActiveSession"),
               Pair(active_, kSessionPrefix + active_));
      bus.send(message.createReply());
    } else {
      bus.send(message.createErrorReply(QDBusError::UnknownMethod, member));
    }
    return true;
  }

 private:
  QVariant Property(const QString& path, const QString& name) const {
    const QString id = path.mid(kSessionPrefix.size());
    if (name == QLatin1String("Seat")) return Pair(QStringLiteral("seat0"), kSeatPath);
    if (name == QLatin1String("Active")) return id == active_;
    if (name == QLatin1String("LockedHint")) return locked_.value(id);
    if (name == QLatin1String("ActiveSession")) return Pair(active_, kSessionPrefix + active_);
    return {};
  }
  static void Announce(const QDBusConnection& bus, const QString& path, const QString& interface,
                       const QString& name, const QVariant& value) {
    QDBusMessage changed =
        QDBusMessage::createSignal(path, kProperties, QStringLiteral("PropertiesChanged"));
    changed << interface << QVariantMap{{name, value}} << QStringList{};
    bus.send(changed);
  }

  QString active_ = QStringLiteral("c1");
  QMap<QString, bool> locked_;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QDBusConnection bus = QDBusConnection::systemBus();
  FakeLogind logind;
  if (!bus.registerVirtualObject(kRoot, &logind, QDBusConnection::SubPath) ||
      !bus.registerService(QStringLiteral("org.freedesktop.login1"))) {
    std::fprintf(stderr, "fake_logind: %s\n", qPrintable(bus.lastError().message()));
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  return QCoreApplication::exec();
}
