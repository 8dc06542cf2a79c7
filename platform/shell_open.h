#pragma once
// Opening a file or an address with the desktop's default program.

#include <QString>

namespace platform {

bool OpenWithShell(const QString& file_or_address);

}  // namespace platform
