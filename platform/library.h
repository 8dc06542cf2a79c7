#pragma once
// Loading a library by its Windows name: "X.dll" is looked up as "libX.so"
// on the usual search path.

#include <string>

namespace platform {

std::string SharedObjectName(const std::string& dll_name);

class Library {
 public:
  Library() = default;
  ~Library() { Unload(); }
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  bool Load(const std::string& dll_name);
  void Unload();
  bool loaded() const { return handle_ != nullptr; }
  // The address of an exported symbol, or null.
  void* Resolve(const char* name) const;

 private:
  void* handle_ = nullptr;
};

}  // namespace platform
