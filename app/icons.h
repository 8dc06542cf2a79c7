#pragma once
// The program's two icons, drawn rather than shipped: running (resource 5)
// and stopped (resource 132). The installation's menu icon,
// tavrik-server-crypt.svg, is the running one drawn the same way.

#include <QIcon>

namespace app {

inline constexpr int kRunningIconResource = 5;
inline constexpr int kStoppedIconResource = 132;

QIcon ServerIcon(bool running);

}  // namespace app
