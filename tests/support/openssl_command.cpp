#include "support/openssl_command.h"

#include <cstdlib>

#ifndef STB_ENGINE_MODULE
#error "STB_ENGINE_MODULE must name the built module"
#endif
#ifndef OPENSSL_PROGRAM
#error "OPENSSL_PROGRAM must name the openssl command"
#endif

namespace testsupport {

CommandRun run_openssl(const std::string& command, const std::string& args,
                       const std::string& log_path) {
  CommandRun run;
#ifdef STB_ENGINE_PRELOAD
  // A sanitized module loads into the plain command only with the sanitizer
  // runtime preloaded; the command's own leaks are not ours to report.
  run.line = std::string("LD_PRELOAD=\"") + STB_ENGINE_PRELOAD + "\" ASAN_OPTIONS=detect_leaks=0 ";
#endif
  run.line += std::string("\"") + OPENSSL_PROGRAM + "\" " + command + " -engine \"" +
              STB_ENGINE_MODULE + "\" " + args + " > \"" + log_path + "\" 2>&1";
  run.ok = std::system(run.line.c_str()) == 0;
  return run;
}

}  // namespace testsupport
