// The operations the constant-time checker runs, in tables ending with a
// null entry.
#pragma once

namespace ct {

struct Case {
  const char* name;
  void (*run)();
};

extern const Case kStbCases[];     // the national algorithms directly
extern const Case kTesselCases[];  // the library calls that wrap them
extern const Case kTableCases[];   // a deliberately table-driven belt-block

}  // namespace ct
