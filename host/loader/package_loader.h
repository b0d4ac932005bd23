#pragma once
// Loads a package (a shared library) and finds its entries, reporting which
// file and which symbol failed.
#include <stdexcept>
#include <string>

namespace host {

class PackageLoadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Package {
 public:
  // Opens the library; throws PackageLoadError with the loader's reason.
  explicit Package(const std::string& path);
  ~Package();
  Package(const Package&) = delete;
  Package& operator=(const Package&) = delete;

  const std::string& Path() const { return path_; }
  // The address of an exported symbol; throws PackageLoadError naming it.
  void* Symbol(const std::string& name) const;
  template <typename Function>
  Function* Entry(const std::string& name) const {
    return reinterpret_cast<Function*>(Symbol(name));
  }

 private:
  std::string path_;
  void* handle_;
};

}  // namespace host
