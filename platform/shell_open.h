#pragma once
// Opening a file or an address with the desktop's default program.

#include <QString>

namespace platform {

bool OpenWithShell(const QString& file);
bool OpenAddress(const QString& address);

}  // namespace platform
