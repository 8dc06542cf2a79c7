#pragma once
// The token tool's commands. Each prints its progress and errors and answers
// the tool's exit status.

#include <cstdint>
#include <string>

#include "tokens/tool/token_factory.h"

namespace tool {

enum Exit {
  kDone = 0,
  kUsage = 1,            // wrong use
  kNoSuchToken = 2,
  kExists = 3,           // the token, the CA or the demo tokens exist already
  kPasswordRefused = 4,  // none given, the two differ, or it breaks the rules
  kNoCa = 5,             // no demo CA yet: run `ca` or `--demo`
  kFailed = 6,           // files could not be written, or a cryptographic step failed
  kDamaged = 7,          // the token's files are damaged
};

// The password of every demo token; demo tokens are for trying the program,
// never for real keys.
inline constexpr char kDemoPassword[] = "Demo-Pass1";

int MakeCa(int32_t level, bool replace);
int Demo(int32_t level);
int Create(const TokenOrder& order);
int List();
int Plug(const std::string& serial, bool plugged);
int Remove(const std::string& serial);
int Reset(const std::string& serial);
int ExportCertificate(const std::string& serial, const std::string& out_path);

}  // namespace tool
