#include "support/openssl_command.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef STB_ENGINE_MODULE
#error "STB_ENGINE_MODULE must name the built module"
#endif
#ifndef OPENSSL_PROGRAM
#error "OPENSSL_PROGRAM must name the openssl command"
#endif

namespace testsupport {

namespace {

CommandRun run_command(const std::string& command, const std::string& engine,
                       const std::string& args, const std::string& log_path) {
  CommandRun run;
#ifdef STB_ENGINE_PRELOAD
  // A sanitized module loads into the plain command only with the sanitizer
  // runtime preloaded; the command's own leaks are not ours to report.
  run.line = std::string("LD_PRELOAD=\"") + STB_ENGINE_PRELOAD + "\" ASAN_OPTIONS=detect_leaks=0 ";
#endif
  run.line += std::string("\"") + OPENSSL_PROGRAM + "\" " + command + engine + " " + args +
              " > \"" + log_path + "\" 2>&1";
  run.ok = std::system(run.line.c_str()) == 0;
  return run;
}

}  // namespace

CommandRun run_openssl(const std::string& command, const std::string& args,
                       const std::string& log_path) {
  return run_command(command, std::string(" -engine \"") + STB_ENGINE_MODULE + "\"", args,
                     log_path);
}

CommandRun run_plain_openssl(const std::string& command, const std::string& args,
                             const std::string& log_path) {
  return run_command(command, "", args, log_path);
}

std::string CommandFiles::path(const std::string& name) const {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string test = std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : test)
    if (c == '/') c = '_';
  return testing::TempDir() + "tessel_" + test + "_" + name;
}

void CommandFiles::write(const std::string& name, const std::string& data) const {
  std::ofstream(path(name), std::ios::binary)
      .write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string CommandFiles::read(const std::string& name) const {
  std::ifstream in(path(name), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool CommandFiles::run(const std::string& command, const std::string& args) const {
  const CommandRun r = run_openssl(command, args, path("log"));
  if (!r.ok) ADD_FAILURE() << r.line << "\n" << read("log");
  return r.ok;
}

}  // namespace testsupport
