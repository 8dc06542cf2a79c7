#include "tokens/store/child_program.h"

#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace tokens {

ChildProgram::~ChildProgram() {
  CloseChannel();
  if (pid_ > 0) Wait();
}

bool ChildProgram::Start(const std::string& program, const std::string& argument, int child_fd) {
  int ends[2];
  if (program.empty() || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
    return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, ends[1], child_fd);
  std::string arg0 = program;
  std::string arg1 = argument;
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(ends[1]);
  if (spawned != 0) {
    close(ends[0]);
    return false;
  }
  channel_ = ends[0];
  pid_ = pid;
  return true;
}

void ChildProgram::CloseChannel() {
  if (channel_ >= 0) close(channel_);
  channel_ = -1;
}

int ChildProgram::Wait() {
  if (pid_ <= 0) return -1;
  int status = 0;
  while (waitpid(pid_, &status, 0) < 0) {
    if (errno != EINTR) {
      pid_ = -1;
      return -1;
    }
  }
  pid_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace tokens
