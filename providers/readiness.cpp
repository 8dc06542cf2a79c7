#include "providers/readiness.h"

#include <sys/stat.h>
#include <unistd.h>

#include "platform/process_snapshot.h"
#include "providers/provider.h"

namespace providers {
namespace {

constexpr int kLogAvCmInitEx = 17;
constexpr int kLogAvestLoadFailed = 18;

template <typename Function>
bool ResolveInto(const platform::Library& module, const char* name, Function& into) {
  void* address = module.Resolve(name);
  into = reinterpret_cast<Function>(address);
  return address != nullptr;
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

void InitAvest(service::ServiceState& state, AvestLibrary& avest, ReadinessHost& host) {
  state.active_provider.set(AvestName());
  // A library left initialised by a start that failed later is finished first.
  if (avest.module.loaded()) ShutdownAvestLibrary(avest, state.log);
  if (!avest.module.Load(kAvestLibraryName)) {
    state.log.LogEvent(kLogAvestLoadFailed, std::nullopt,
                       service::LogValue::Text(QString::fromLatin1(kAvestLibraryName)));
  } else if (!ResolveInto(avest.module, "AvCmLogin", avest.login) ||
             !ResolveInto(avest.module, "AvCmLogout", avest.logout) ||
             !ResolveInto(avest.module, "AvCmSign", avest.sign) ||
             !ResolveInto(avest.module, "AvCmInit", avest.init) ||
             !ResolveInto(avest.module, "AvCmInitEx", avest.init_ex)) {
    avest.module.Unload();
  } else {
    const uint32_t result = avest.init(1);
    state.log.LogEvent(kLogAvCmInitEx, std::nullopt, service::LogValue::Hex(result));
    if (result == 0) return host.CompleteStart();
  }
  host.AddListLine(QStringLiteral("Ошибка инициализации Авест"));
}

void CheckZorvikReady(service::ServiceState& state, TokenWatcherState& watcher,
                      ReadinessHost& host) {
  state.active_provider.set(ZorvikName());
  // The walk does not stop at a match: the last TokenWatcher listed wins. Only
  // the user's own counts: another user's watcher serves another session.
  for (const platform::ProcessEntry& process : platform::SnapshotProcesses()) {
    if (process.executable_name == kTokenWatcherExecutable && process.pid != 0 &&
        process.uid == getuid())
      watcher.path = QString::fromStdString(process.module_path);
  }
  if (watcher.path.isEmpty()) {
    host.ShowInformation(QStringLiteral("TokenWatcher для токена ЗОРВИКА не запущен"));
    return;
  }
  const qsizetype separator = watcher.path.lastIndexOf(u'/');
  if (separator >= 0) watcher.path.truncate(separator + 1);
  if (!IsFile((watcher.path + QString::fromLatin1(kSignProgram)).toStdString()))
    host.AddPlainListLine(QStringLiteral("Убедитесь в готовности к работе токена ЗОРВИКА"));
  watcher.folder = watcher.path.toStdString();
  host.CompleteStart();
}

uint32_t ShutdownAvestLibrary(AvestLibrary& avest, service::EventLog& log) {
  if (!avest.module.loaded() || avest.init == nullptr) return 0;
  const uint32_t result = avest.init(2);
  log.LogEvent(kLogAvCmInitEx, std::nullopt, service::LogValue::Hex(result));
  if (result != 0) return result;
  avest.module.Unload();
  avest.login = nullptr;
  avest.logout = nullptr;
  avest.sign = nullptr;
  avest.init = nullptr;
  avest.init_ex = nullptr;
  return 0;
}

}  // namespace providers
