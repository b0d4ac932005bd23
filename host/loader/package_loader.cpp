#include "host/loader/package_loader.h"

#include <dlfcn.h>

namespace host {

Package::Package(const std::string& path) : path_(path) {
  dlerror();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* reason = dlerror();
    throw PackageLoadError("cannot load package " + path + ": " + (reason ? reason : "unknown reason"));
  }
}

Package::~Package() { dlclose(handle_); }

void* Package::Symbol(const std::string& name) const {
  dlerror();
  void* address = dlsym(handle_, name.c_str());
  if (const char* reason = dlerror(); reason || !address) {
    throw PackageLoadError("package " + path_ + " does not export " + name +
                           (reason ? std::string(": ") + reason : ""));
  }
  return address;
}

}  // namespace host
