#include "platform/library.h"

#include <dlfcn.h>

namespace platform {

std::string SharedObjectName(const std::string& dll_name) {
  std::string base = dll_name;
  constexpr std::string_view kSuffix = ".dll";
  if (base.size() > kSuffix.size()) {
    std::string tail = base.substr(base.size() - kSuffix.size());
    for (char& c : tail) c = static_cast<char>(c | 0x20);
    if (tail == kSuffix) base.resize(base.size() - kSuffix.size());
  }
  return "lib" + base + ".so";
}

bool Library::Load(const std::string& dll_name) {
  Unload();
  handle_ = dlopen(SharedObjectName(dll_name).c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

void Library::Unload() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

void* Library::Resolve(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

}  // namespace platform
