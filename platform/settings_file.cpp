#include "platform/settings_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

#include "platform/profile.h"

namespace platform {
namespace {

// Only a plain file of ours is taken over, never what a link points at.
bool IsOwnPlainFile(const QString& path) {
  struct stat info {};
  return lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISREG(info.st_mode) &&
         info.st_uid == getuid();
}

}  // namespace

QString PrepareSettingsFile(const std::string& new_folder, const std::string& old_folder,
                            const QString& name) {
  if (new_folder.empty()) return {};
  const QString path = QString::fromStdString(new_folder) + name;
  if (!old_folder.empty() && !QFile::exists(path)) {
    const QString old_path = QString::fromStdString(old_folder) + name;
    // Across file systems rename copies and then removes the old file.
    if (IsOwnPlainFile(old_path)) QFile::rename(old_path, path);
  }
  TouchProfileFile(path);
  return path;
}

}  // namespace platform
