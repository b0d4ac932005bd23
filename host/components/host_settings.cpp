#include "host/components/host_settings.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace comp {
namespace {
std::string Trim(const std::string& s) {
  const auto begin = s.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return {};
  const auto end = s.find_last_not_of(" \t\r");
  return s.substr(begin, end - begin + 1);
}
}  // namespace

std::string HostSettings::DefaultPath() {
  if (const char* explicit_path = std::getenv("MAG_SETTINGS"); explicit_path && *explicit_path)
    return explicit_path;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    return std::string(xdg) + "/mag04200/host.conf";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/mag04200/host.conf";
}

void HostSettings::LoadFile(const std::string& path) {
  if (!std::filesystem::exists(path)) return;
  std::ifstream in(path);
  if (!in) throw std::runtime_error("Não foi possível ler o arquivo de configurações " + path);
  std::map<std::string, std::string> values;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    const std::string content = Trim(line.substr(0, line.find('#')));
    if (content.empty()) continue;
    const auto equals = content.find('=');
    if (equals == std::string::npos || Trim(content.substr(0, equals)).empty()) {
      throw std::runtime_error(path + ":" + std::to_string(number) + ": esperava 'chave = valor'");
    }
    values[Trim(content.substr(0, equals))] = Trim(content.substr(equals + 1));
  }
  file_ = std::move(values);
}

namespace {
void CheckPort(const std::string& text) {
  std::size_t used = 0;
  int port = 0;
  try {
    port = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || port < 1 || port > 65535) {
    throw std::runtime_error("Porta do servidor inválida nas configurações: '" + text + "'");
  }
}
}  // namespace

void HostSettings::Store(const std::string& path, const std::map<std::string, std::string>& values) {
  if (auto it = values.find("server.port"); it != values.end()) CheckPort(it->second);
  std::vector<std::string> lines;
  if (std::ifstream in(path); in) {
    for (std::string line; std::getline(in, line);) lines.push_back(line);
  }
  std::map<std::string, std::string> pending = values;
  for (std::string& line : lines) {
    const std::string content = Trim(line.substr(0, line.find('#')));
    const auto equals = content.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = Trim(content.substr(0, equals));
    if (auto it = pending.find(key); it != pending.end()) {
      line = key + " = " + it->second;
      pending.erase(it);
    }
  }
  for (const auto& [key, value] : pending) lines.push_back(key + " = " + value);

  const std::filesystem::path target(path);
  std::error_code ignored;
  if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ignored);
  const std::string temporary = path + ".new";
  {
    std::ofstream out(temporary, std::ios::trunc);
    for (const auto& line : lines) out << line << '\n';
    out.flush();
    if (!out) {
      std::filesystem::remove(temporary, ignored);
      throw std::runtime_error("Não foi possível gravar o arquivo de configurações " + path);
    }
  }
  std::error_code failed;
  std::filesystem::rename(temporary, target, failed);
  if (failed) {
    std::filesystem::remove(temporary, ignored);
    throw std::runtime_error("Não foi possível gravar o arquivo de configurações " + path);
  }
  for (const auto& [key, value] : values) {
    file_[key] = value;
    overrides_.erase(key);
  }
}

void HostSettings::Clear() {
  file_.clear();
  overrides_.clear();
}

std::string HostSettings::Get(const std::string& key, const std::string& fallback) const {
  if (auto it = overrides_.find(key); it != overrides_.end()) return it->second;
  if (auto it = file_.find(key); it != file_.end()) return it->second;
  return fallback;
}

std::string HostSettings::ServerHost() const { return Get("server.host", "127.0.0.1"); }

int HostSettings::ServerPort() const {
  const std::string text = Get("server.port", "8420");
  CheckPort(text);
  return std::stoi(text);
}

std::string HostSettings::DatabaseUrl() const { return Get("database.url", "sqlite:mag04200.db"); }

std::string HostSettings::Dialect() const { return Get("database.dialect", "sql"); }

HostSettings& Settings() {
  static HostSettings settings;
  return settings;
}

std::string WebURL() { return Settings().ServerHost(); }
int WebPort() { return Settings().ServerPort(); }

}  // namespace comp
