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
// The same without the module, for the commands that take no -engine.
CommandRun run_plain_openssl(const std::string& command, const std::string& args,
                             const std::string& log_path);

// The files a test case hands to the command, named after the running test
// in the temporary folder, and the command run on them.
class CommandFiles {
 public:
  std::string path(const std::string& name) const;
  void write(const std::string& name, const std::string& data) const;
  std::string read(const std::string& name) const;
  // Runs the command with the module, its output in "log"; a failure is
  // reported to the running test with that output.
  bool run(const std::string& command, const std::string& args) const;
};

}  // namespace testsupport
