#pragma once
// A program started with one argument, its standard input or output joined to
// our end of a socket pair; the sign program and the password prompt run so.
// A socket rather than a pipe: MSG_NOSIGNAL spares the host process a SIGPIPE
// when the program ends without reading.

#include <sys/types.h>

#include <string>

namespace tokens {

class ChildProgram {
 public:
  ChildProgram() = default;
  ChildProgram(const ChildProgram&) = delete;
  ChildProgram& operator=(const ChildProgram&) = delete;
  // An unwaited child is waited for here.
  ~ChildProgram();

  // child_fd: STDIN_FILENO or STDOUT_FILENO of the program. false when it
  // could not start.
  bool Start(const std::string& program, const std::string& argument, int child_fd);
  int channel() const { return channel_; }
  void CloseChannel();
  // The program's exit status, or -1 when it did not end by itself.
  int Wait();

 private:
  int channel_ = -1;
  pid_t pid_ = -1;
};

}  // namespace tokens
