#pragma once
// The magnetic file on disk: lines go to a temporary file beside the target,
// which replaces the target only when every line is written. Whatever fails
// before that leaves an earlier file of the same name as it was, and no
// partial file behind.
//
// A temporary file is named "<target>.XXXXXX.mag-parcial" and locked while
// its export runs; one left by an export that was killed outright (its lock
// died with it) is removed by the next export into the same directory.
#include <cstdio>
#include <string>

class OutputFile {
 public:
  // Creates the temporary file in the target's directory. Throws
  // std::runtime_error naming the file and the system's reason.
  explicit OutputFile(std::string target);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Writes the bytes of one line and CR LF. Throws std::runtime_error.
  void WriteLine(const std::string& bytes);
  // Flushes, syncs and renames the file over the target. Throws std::runtime_error.
  void Commit();
  long Lines() const { return lines_; }

  // The ending of every temporary file's name.
  static constexpr const char* kTemporarySuffix = ".mag-parcial";
  // Removes the temporary files in a directory that no running export holds;
  // returns how many. Never throws.
  static int RemoveAbandoned(const std::string& directory);

 private:
  [[noreturn]] void Fail(const std::string& what);
  std::string target_;
  std::string temporary_;
  std::FILE* file_ = nullptr;
  long lines_ = 0;
  bool committed_ = false;
};
