#pragma once
// Making a provider ready before the server starts with it: the Avest vendor
// library for "Авест", the running token monitor for "Зорвик".

#include <cstdint>
#include <string>

#include <QString>

#include "platform/library.h"
#include "service/service_state.h"

namespace providers {

// What a readiness check needs of the main window.
class ReadinessHost {
 public:
  virtual ~ReadinessHost() = default;
  virtual void AddListLine(const QString& message) = 0;       // time-stamped
  virtual void AddPlainListLine(const QString& message) = 0;  // without a time stamp
  virtual void ShowInformation(const QString& message) = 0;
  virtual void CompleteStart() = 0;
};

using AvCmInitFunction = uint32_t (*)(uint32_t);
using AvCmLoginFunction = uint32_t (*)(void*, void*, void**, int32_t);
using AvCmLogoutFunction = uint32_t (*)(void*, uint32_t);

// AvCryptMail.dll and the entry points resolved from it.
struct AvestLibrary {
  platform::Library module;
  AvCmLoginFunction login = nullptr;
  AvCmLogoutFunction logout = nullptr;
  void* sign = nullptr;  // only passed on to the signing component
  AvCmInitFunction init = nullptr;
  void* init_ex = nullptr;
};

struct TokenWatcherState {
  QString path;        // folder of the running TokenWatcher, with its final separator
  std::string folder;  // the same, narrow, for the sign component
};

inline constexpr const char* kAvestLibraryName = "AvCryptMail.dll";
inline constexpr const char* kTokenWatcherExecutable = "TokenWatcher.exe";
inline constexpr const char* kSignProgram = "Signkit/sign";

void InitAvest(service::ServiceState& state, AvestLibrary& avest, ReadinessHost& host);
void CheckZorvikReady(service::ServiceState& state, TokenWatcherState& watcher,
                      ReadinessHost& host);
// Finishes and unloads the vendor library at stop; 0 or the vendor's result.
uint32_t ShutdownAvestLibrary(AvestLibrary& avest, service::EventLog& log);

}  // namespace providers
