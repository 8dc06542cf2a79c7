#pragma once
// Who makes the program and which bank it serves: the About box and the
// links of the tray menu and F1 read these, and nothing else names them.

namespace app {

inline constexpr const char* kMakerName = "Проект Tessel";
inline constexpr const char* kMakerAddress = "Проект Tessel: почтового адреса нет, только исходный код";
// The bank's public web site (F1, the About box's link) and its internet banking.
inline constexpr const char* kBankSiteAddress = "https://bank.example/";
inline constexpr const char* kInternetBankingAddress = "https://ib.bank.example/";
inline constexpr const char* kCopyrightYear = ", 2021";

}  // namespace app
