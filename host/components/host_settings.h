#pragma once
// The host's settings: a file of "key = value" lines ('#' starts a comment)
// plus overrides that a host takes from its command line. Overrides win.
//
// Keys:
//   server.host   application server host name        (default 127.0.0.1)
//   server.port   application server port, 1..65535   (default 8420)
//   database.url  database of the lookup queries      (default sqlite:mag04200.db)
//   database.dialect  sql | oracle | mssql | ib       (default sql)
#include <map>
#include <string>

namespace comp {

class HostSettings {
 public:
  // The settings file: $MAG_SETTINGS when set, else
  // $XDG_CONFIG_HOME/mag04200/host.conf, else ~/.config/mag04200/host.conf.
  static std::string DefaultPath();

  // Reads a settings file; a missing file leaves the defaults. Throws
  // std::runtime_error naming the file and line for a line without "=", and
  // for a file that exists but cannot be read.
  void LoadFile(const std::string& path);
  void Override(const std::string& key, const std::string& value) { overrides_[key] = value; }
  // Writes the values into the settings file (other keys and comments of the
  // file are kept; the file is replaced whole, never left half written) and
  // makes them current: they replace the file's values and any override.
  // Throws std::runtime_error for a port that is no number in 1..65535 and
  // when the file cannot be written; nothing changes then.
  void Store(const std::string& path, const std::map<std::string, std::string>& values);
  void Clear();

  std::string Get(const std::string& key, const std::string& fallback) const;
  std::string ServerHost() const;
  // Throws std::runtime_error for a port that is no number in 1..65535.
  int ServerPort() const;
  std::string DatabaseUrl() const;
  std::string Dialect() const;

 private:
  std::map<std::string, std::string> file_;
  std::map<std::string, std::string> overrides_;
};

// The process's settings.
HostSettings& Settings();

// Host name and port of the application server, read from the settings at
// every call.
std::string WebURL();
int WebPort();

}  // namespace comp
