// The constant-time checker: runs the operations of one part with their
// secrets marked undefined for valgrind's memcheck, which reports any branch
// or memory address that depends on them (run it as
// `valgrind --error-exitcode=3 ct_check <part> [belt path]`).
//   stb    the national algorithms, under the belt path given (portable,
//          ssse3, avx2; valgrind cannot run the AVX-512 one)
//   tessel the library calls that wrap them
//   table  a deliberately table-driven belt-block: memcheck must report it
#include <cstdio>
#include <cstring>
#include <string>

#include "cases.h"
#include "marks.h"
#include "stb/belt/path.h"

namespace {

bool pick_path(const char* name) {
  using stb::belt::Path;
  for (const Path p : {Path::portable, Path::ssse3, Path::avx2, Path::avx512}) {
    if (std::strcmp(name, stb::belt::path_name(p)) == 0) return stb::belt::set_path(p);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string part = argc > 1 ? argv[1] : "";
  const ct::Case* cases = part == "stb"      ? ct::kStbCases
                          : part == "tessel" ? ct::kTesselCases
                          : part == "table"  ? ct::kTableCases
                                             : nullptr;
  if (cases == nullptr) {
    std::fprintf(stderr, "usage: ct_check stb|tessel|table [portable|ssse3|avx2]\n");
    return 1;
  }
  if (argc > 2 && !pick_path(argv[2])) {
    std::fprintf(stderr, "ct_check: belt path %s is not available here\n", argv[2]);
    return 1;
  }
  if (!ct::under_valgrind()) std::fprintf(stderr, "ct_check: not under valgrind, nothing traced\n");
  ct::mark_random_output();
  for (; cases->name != nullptr; ++cases) {
    std::printf("%s\n", cases->name);
    std::fflush(stdout);
    cases->run();
  }
  return 0;
}
