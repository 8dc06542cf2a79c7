#pragma once
// The real program as a child process with an environment of the test's choosing.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace testing_support {

class ProgramProcess {
 public:
  ProgramProcess(const std::string& program, const std::map<std::string, std::string>& overrides,
                 const std::string& stderr_file, std::vector<std::string> arguments = {}) {
    std::map<std::string, std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string text = *entry;
      const auto equals = text.find('=');
      if (equals != std::string::npos) merged[text.substr(0, equals)] = text.substr(equals + 1);
    }
    for (const auto& [name, value] : overrides) merged[name] = value;
    std::vector<std::string> texts;
    for (const auto& [name, value] : merged) texts.push_back(name + "=" + value);
    std::vector<char*> env;
    for (auto& text : texts) env.push_back(text.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, stderr_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    arguments.insert(arguments.begin(), program);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), env.data()) != 0)
      pid_ = 0;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~ProgramProcess() {
    if (pid_ != 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  // The exit status once the process has ended within the limit, else -1.
  int WaitForExit(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = 0;
  bool exited_ = false;
};

}  // namespace testing_support
