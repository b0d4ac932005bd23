#include "host/loader/package_loader.h"

#include <dlfcn.h>

namespace host {

Package::Package(const std::string& path) : path_(path) {
  dlerror();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle_) {
    const char* reason = dlerror();
    throw PackageLoadError("não foi possível carregar o pacote " + path + ": " +
                           (reason ? reason : "motivo desconhecido"));
  }
}

Package::~Package() { dlclose(handle_); }

void* Package::Symbol(const std::string& name) const {
  dlerror();
  void* address = dlsym(handle_, name.c_str());
  if (const char* reason = dlerror(); reason || !address) {
    throw PackageLoadError("o pacote " + path_ + " não exporta " + name +
                           (reason ? std::string(": ") + reason : ""));
  }
  return address;
}

}  // namespace host
