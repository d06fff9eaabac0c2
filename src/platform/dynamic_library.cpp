#include "platform/dynamic_library.h"

#include <dlfcn.h>

#include "platform/text_codec.h"

namespace kelvane::platform {

bool DynamicLibrary::Load(const std::wstring& path, std::string* error) {
  Unload();
  ::dlerror();
  handle_ = ::dlopen(ToNative(path).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* reason = ::dlerror();
    *error = reason ? reason : "unknown error";
    return false;
  }
  return true;
}

void* DynamicLibrary::Symbol(const char* name) const {
  return handle_ ? ::dlsym(handle_, name) : nullptr;
}

void DynamicLibrary::Unload() {
  if (handle_) ::dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace kelvane::platform
