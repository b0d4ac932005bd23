#pragma once
// A valid magnetic file of any length, written without the server: register
// 10 and 11 of an informant in SP, `notes` register 50 lines of one day
// (numbers 12, 13, …) and the register 90 that totals them.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace sample {

inline std::string Register50(long number, const char* cfop = "5102") {
  char digits[24];
  std::snprintf(digits, sizeof digits, "%06ld", number);
  return std::string("5055666777000181115566770891  20260105SP551  ") + digits + cfop +
         "P000000000100000000000010000000000000180000000000000000000000000001800N";
}

inline const char* const kRegister10 =
    "1011222333000181110042490114  Empresa                            Cidade                        "
    "SP00000000002026010120260131331";
inline const char* const kRegister11 =
    "11Rua                               00001                      Centro         01000000Contato     "
    "                001100000000";

// The 90 of a file of `notes` 50 lines and `lines` lines in all.
inline std::string Register90(long notes, long lines) {
  char totals[96];
  std::snprintf(totals, sizeof totals, "9011222333000181110042490114  50%08ld99%08ld", notes, lines);
  std::string ninety = totals;
  ninety.resize(125, ' ');
  return ninety + "1";
}

inline std::vector<std::string> Lines(long notes) {
  std::vector<std::string> lines = {kRegister10, kRegister11};
  for (long k = 0; k < notes; ++k) lines.push_back(Register50(12 + k));
  lines.push_back(Register90(notes, notes + 3));
  return lines;
}

// Writes the lines with CR LF, but those listed in `lf_alone` (0-based).
inline void Write(const std::string& path, const std::vector<std::string>& lines,
                  const std::vector<std::size_t>& lf_alone = {}) {
  std::ofstream out(path, std::ios::binary);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    bool bare = false;
    for (std::size_t k : lf_alone) bare = bare || k == i;
    out << lines[i] << (bare ? "\n" : "\r\n");
  }
}

}  // namespace sample
