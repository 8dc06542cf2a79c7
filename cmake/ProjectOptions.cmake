# Compiler settings shared by every target of the project.

if(TESSEL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# libFuzzer build: every library the fuzz targets link is instrumented for
# coverage and built with ASan + UBSan; only the targets link the fuzzer's main.
if(TESSEL_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "TESSEL_FUZZ needs clang: configure with CC=clang CXX=clang++")
  endif()
  add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-omit-frame-pointer
    -fno-sanitize-recover=all
    -fsanitize-coverage-ignorelist=${PROJECT_SOURCE_DIR}/cmake/fuzz_coverage_ignore.txt)
  add_link_options(-fsanitize=address,undefined)
endif()

# Shared libraries name every symbol they need, except in the clang sanitizer
# build, where the sanitizer runtime lives in the executable.
if(TESSEL_FUZZ)
  set(TESSEL_NO_UNDEFINED "")
else()
  set(TESSEL_NO_UNDEFINED -Wl,--no-undefined)
endif()

# Strict warnings for our own code (not for third-party headers or generated code).
function(tessel_strict target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
  # The warning gate is the GCC build; clang's different set must not stop
  # the fuzz build, nor a distribution's flags the package build.
  if(NOT TESSEL_FUZZ AND TESSEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# Strict warnings for C targets (the C-language interface checks).
function(tessel_strict_c target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wconversion -Werror)
  # Our C++ libraries' UBSan checks need clang's C++ sanitizer runtime.
  if(TESSEL_FUZZ)
    set_target_properties(${target} PROPERTIES LINKER_LANGUAGE CXX)
  endif()
endfunction()
