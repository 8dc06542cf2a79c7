#pragma once
// A snapshot of the running processes from /proc. An executable asked for as
// "X.exe" is the program file named "X".

#include <string>
#include <vector>

#include <sys/types.h>

namespace platform {

struct ProcessEntry {
  pid_t pid = 0;
  uid_t uid = 0;                // the process's owner
  std::string executable_name;  // as a Windows snapshot names it: "X.exe"
  // Full path of the program file; empty when unreadable. For a script run by
  // an interpreter ("#!" first line) the script, which is what the user started.
  std::string module_path;
  std::string interpreter_path;  // for a script: the interpreter's program file
};

std::vector<ProcessEntry> SnapshotProcesses();

}  // namespace platform
