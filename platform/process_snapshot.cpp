#include "platform/process_snapshot.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>

#include <QFile>

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

std::vector<std::string> CommandLine(const std::string& proc) {
  QFile input(QString::fromStdString(proc + "/cmdline"));
  if (!input.open(QIODevice::ReadOnly)) return {};
  const std::string text = input.readAll().toStdString();
  std::vector<std::string> arguments;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\0', start), text.size());
    arguments.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return arguments;
}

bool IsExecutableScript(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || (info.st_mode & 0111) == 0)
    return false;
  std::ifstream input(path, std::ios::binary);
  std::array<char, 2> start{};
  return input.read(start.data(), start.size()) && start[0] == '#' && start[1] == '!';
}

// An interpreter runs a script named by its first argument that is not an
// option (sh script, python3 -u script, env's exec of a "#!" line).
std::string ScriptOf(const std::string& proc) {
  const std::vector<std::string> arguments = CommandLine(proc);
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    if (arguments[i].empty() || arguments[i].front() == '-') continue;
    std::string path = arguments[i];
    if (path.front() != '/') path = ReadLink(proc + "/cwd") + "/" + path;
    std::array<char, PATH_MAX> resolved{};
    if (!IsExecutableScript(path) || realpath(path.c_str(), resolved.data()) == nullptr) return {};
    return resolved.data();
  }
  return {};
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
    const std::string folder = "/proc/" + name;
    ProcessEntry process;
    process.pid = static_cast<pid_t>(std::stol(name));
    process.module_path = ReadLink(folder + "/exe");
    if (process.module_path.empty()) continue;  // not ours to read, or a kernel thread
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0) continue;  // ended meanwhile
    process.uid = info.st_uid;
    if (std::string script = ScriptOf(folder); !script.empty()) {
      process.interpreter_path = std::move(process.module_path);
      process.module_path = std::move(script);
    }
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
