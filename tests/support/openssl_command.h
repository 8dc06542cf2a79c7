// Runs the stock openssl command with our national-algorithm module, for the
// tests that check our output against it and its output against us.
#pragma once

#include <string>

namespace testsupport {

struct CommandRun {
  bool ok = false;   // exit status 0
  std::string line;  // the shell command run, for failure messages
};

// `openssl <command> -engine <module> <args>`, its output to log_path. The
// engine goes first: options after a file name would count as file names.
CommandRun run_openssl(const std::string& command, const std::string& args,
                       const std::string& log_path);

}  // namespace testsupport
