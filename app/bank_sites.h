#pragma once
// The bank's two web addresses, in one place: its public site and its
// internet-banking site. Pages of these origins may use the signing server.

#include <QString>
#include <QStringList>

namespace app {

inline constexpr char kBankSite[] = "https://tavrik-bank.example/";
inline constexpr char kInternetBankingSite[] = "https://online.tavrik-bank.example/";

// Settings key with further allowed origins, separated by blanks.
inline constexpr char kAllowedOriginsKey[] = "allowedOrigins";

}  // namespace app
