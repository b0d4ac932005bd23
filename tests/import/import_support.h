#pragma once
// What the import tests share: commands run to their end with their output,
// the fixtures' files, and a snapshot of the tables an import writes.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "lib/sql/session.h"
#include "tests/support/command_run.h"

inline std::string Fixture(const std::string& name) { return std::string(MAG_TEST_DATA) + "/import/" + name; }

inline std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// Every row of the tables an import may write, in a fixed order, as text.
inline std::string Snapshot(const std::string& database) {
  auto s = sql::OpenSession(database);
  std::string text;
  for (const char* query :
       {"SELECT * FROM NOTAFISCAL ORDER BY NRSEQNOTA",
        "SELECT * FROM NOTAFISCALITEM ORDER BY NRSEQNOTA, NRITEM",
        "SELECT * FROM NOTACONSUMIDOR ORDER BY NRSEQNC",
        "SELECT * FROM NOTACONSUMIDORITEM ORDER BY NRSEQNC, NRITEM",
        "SELECT * FROM CONHECIMENTO ORDER BY NRSEQCONHEC", "SELECT * FROM PRODUTO ORDER BY CDPRODUTO",
        "SELECT * FROM DFEDOCUMENTO ORDER BY DSCHAVEACESSO",
        "SELECT * FROM DFECANCELAMENTO ORDER BY DSCHAVEACESSO", "SELECT * FROM ECF ORDER BY NRSERIEECF",
        "SELECT * FROM ECFREDUCAOZ ORDER BY NRSEQREDZ",
        "SELECT * FROM ECFTOTALIZADOR ORDER BY NRSEQREDZ, CDTOTALIZADOR",
        "SELECT * FROM ECFITEM ORDER BY NRSEQREDZ, NRCOO, NRITEM"}) {
    text += std::string(query) + "\n";
    for (const auto& row : s->Query(query, {}).rows) {
      for (const auto& cell : row) text += cell.value_or("NULL") + "|";
      text += "\n";
    }
  }
  return text;
}
