#include "package/export/output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

std::string DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}

// "<anything>.XXXXXX.mag-parcial", as mkstemps makes them.
bool IsTemporaryName(const std::string& name) {
  const std::string suffix = OutputFile::kTemporarySuffix;
  if (name.size() < suffix.size() + 8 ||
      name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
    return false;
  const std::size_t dot = name.size() - suffix.size() - 7;
  if (name[dot] != '.') return false;
  for (std::size_t i = dot + 1; i < dot + 7; ++i) {
    const char c = name[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
  }
  return true;
}

}  // namespace

int OutputFile::RemoveAbandoned(const std::string& directory) {
  DIR* dir = opendir(directory.c_str());
  if (!dir) return 0;
  int removed = 0;
  const std::string base = directory.empty() || directory.back() == '/' ? directory : directory + "/";
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (!IsTemporaryName(name)) continue;
    const std::string path = base + name;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat opened {};
    struct stat named {};
    // Only a regular file whose lock nobody holds: its export is dead.
    if (fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0 &&
        lstat(path.c_str(), &named) == 0 && named.st_ino == opened.st_ino && named.st_dev == opened.st_dev &&
        unlink(path.c_str()) == 0) {
      ++removed;
    }
    close(fd);
  }
  closedir(dir);
  return removed;
}

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {
  RemoveAbandoned(DirectoryOf(target_));
  const std::string suffix = kTemporarySuffix;
  int fd = -1;
  // Between its creation and its lock, another export's sweep may take the
  // new file for an abandoned one; a file that lost its name is made again.
  for (int attempt = 0; attempt < 5 && fd < 0; ++attempt) {
    std::vector<char> name(target_.begin(), target_.end());
    const std::string pattern = ".XXXXXX" + suffix;
    name.insert(name.end(), pattern.begin(), pattern.end());
    name.push_back('\0');
    fd = mkstemps(name.data(), static_cast<int>(suffix.size()));
    if (fd < 0) Fail("não foi possível criar o arquivo");
    struct stat opened {};
    struct stat named {};
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || fstat(fd, &opened) != 0 || lstat(name.data(), &named) != 0 ||
        named.st_ino != opened.st_ino) {
      close(fd);
      fd = -1;
      continue;
    }
    temporary_ = name.data();
  }
  if (fd < 0) Fail("não foi possível reservar o arquivo temporário");
  // A temporary file is private; the magnetic file gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  file_ = fdopen(fd, "wb");
  if (!file_) {
    close(fd);
    std::remove(temporary_.c_str());
    Fail("não foi possível abrir o arquivo");
  }
}

OutputFile::~OutputFile() {
  // The name goes before the lock: no sweep can see an unlocked file of ours.
  if (!committed_ && !temporary_.empty()) std::remove(temporary_.c_str());
  if (file_) std::fclose(file_);
}

void OutputFile::Fail(const std::string& what) {
  throw std::runtime_error("Erro de gravação em " + target_ + ": " + what + " (" + std::strerror(errno) +
                           ")");
}

void OutputFile::WriteLine(const std::string& bytes) {
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size() ||
      std::fwrite("\r\n", 1, 2, file_) != 2) {
    Fail("a linha " + std::to_string(lines_ + 1) + " não foi gravada");
  }
  ++lines_;
}

void OutputFile::Commit() {
  if (std::fflush(file_) != 0 || fsync(fileno(file_)) != 0) Fail("o arquivo não foi gravado por inteiro");
  // Renamed while still open and locked, so no sweep can take it meanwhile.
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) Fail("o arquivo não substituiu o anterior");
  committed_ = true;
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (closed != 0) Fail("o arquivo não foi fechado");
}
