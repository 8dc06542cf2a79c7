#pragma once
// A snapshot of the running processes from /proc. An executable asked for as
// "X.exe" is the program file named "X".

#include <string>
#include <vector>

#include <sys/types.h>

namespace platform {

struct ProcessEntry {
  pid_t pid = 0;
  std::string executable_name;  // as a Windows snapshot names it: "X.exe"
  std::string module_path;      // full path of the program file; empty when unreadable
};

std::vector<ProcessEntry> SnapshotProcesses();

}  // namespace platform
