#include "platform/process_snapshot.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace platform {
namespace {

std::string ReadLink(const std::string& path) {
  std::array<char, 4096> target{};
  const ssize_t length = readlink(path.c_str(), target.data(), target.size() - 1);
  if (length <= 0) return {};
  std::string result(target.data(), static_cast<std::size_t>(length));
  // The kernel marks a replaced program file; the name before it still counts.
  constexpr std::string_view kDeleted = " (deleted)";
  if (result.ends_with(kDeleted)) result.resize(result.size() - kDeleted.size());
  return result;
}

}  // namespace

std::vector<ProcessEntry> SnapshotProcesses() {
  std::vector<ProcessEntry> entries;
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return entries;
  while (const dirent* entry = readdir(proc)) {
    const std::string name = entry->d_name;
    if (name.empty() || !std::all_of(name.begin(), name.end(), [](char c) {
          return std::isdigit(static_cast<unsigned char>(c));
        }))
      continue;
    ProcessEntry process;
    process.pid = static_cast<pid_t>(std::stol(name));
    process.module_path = ReadLink("/proc/" + name + "/exe");
    if (process.module_path.empty()) continue;  // not ours to read, or a kernel thread
    process.executable_name =
        process.module_path.substr(process.module_path.rfind('/') + 1) + ".exe";
    entries.push_back(std::move(process));
  }
  closedir(proc);
  // Process-id order, the order a snapshot walk lists them in.
  std::sort(entries.begin(), entries.end(),
            [](const ProcessEntry& a, const ProcessEntry& b) { return a.pid < b.pid; });
  return entries;
}

}  // namespace platform
