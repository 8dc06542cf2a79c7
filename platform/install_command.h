#pragma once
// The command line that autostart runs, as the installation provides it: the
// file Tavrik_Server_Crypt.autostart beside the program. UTF-8 text, one
// argument per line (the program first); blank lines and lines beginning
// with '#' are skipped. No quoting: a line is one argument as it stands.

#include <optional>

#include <QString>
#include <QStringList>

namespace platform {

inline constexpr const char* kInstallCommandFileName = "Tavrik_Server_Crypt.autostart";

// The arguments; none when the file is missing, unreadable, larger than
// 64 KiB, not UTF-8, holds a control character or names no program.
std::optional<QStringList> ReadInstallCommand(const QString& file);
// The same from the file's bytes.
std::optional<QStringList> ParseInstallCommand(const QByteArray& bytes);

}  // namespace platform
