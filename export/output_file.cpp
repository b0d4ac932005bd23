#include "export/output_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>

OutputFile::OutputFile(std::string target) : target_(std::move(target)) {
  std::vector<char> name(target_.begin(), target_.end());
  const std::string suffix = ".XXXXXX";
  name.insert(name.end(), suffix.begin(), suffix.end());
  name.push_back('\0');
  const int fd = mkstemp(name.data());
  if (fd < 0) Fail("não foi possível criar o arquivo");
  temporary_ = name.data();
  // A temporary file is private; the magnetic file gets the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  file_ = fdopen(fd, "wb");
  if (!file_) {
    close(fd);
    Fail("não foi possível abrir o arquivo");
  }
}

OutputFile::~OutputFile() {
  if (file_) std::fclose(file_);
  if (!committed_ && !temporary_.empty()) std::remove(temporary_.c_str());
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
  const int closed = std::fclose(file_);
  file_ = nullptr;
  if (closed != 0) Fail("o arquivo não foi fechado");
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) Fail("o arquivo não substituiu o anterior");
  committed_ = true;
}
