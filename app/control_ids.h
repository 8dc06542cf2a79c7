#pragma once
// Control identifiers shared by the dialogs: each control keeps its number as
// its object name, so that tests and accessibility tools find it.

namespace app {

inline constexpr int kControlTokenList = 1021;  // the connected tokens, in every token dialog

}  // namespace app
