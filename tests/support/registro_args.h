#pragma once
// GetRegistro's arguments as a valid screen sends them, and the file a test
// gets back: the words the tests that fetch a file share, over a server or
// in process.
#include <string>
#include <utility>
#include <vector>

#include "lib/wire/host_date.h"
#include "lib/wire/registro_call.h"

// The arguments of GetRegistro, with the values a valid screen sends.
struct RegistroArgs : wire::RegistroRequest {
  RegistroArgs() {
    mask = "NNNNNNNNNNNN";
    tax = "01";
    company = "01";
    registration = "110042490114";
    first_day = wire::EncodeDate(2026, 1, 1);
    last_day = wire::EncodeDate(2026, 1, 31);
    version = "3";
    purpose = "1";
    file_name = "janeiro.txt";
    file_type = "SINTEGRA";
    book = "          ";
    inventory = 1;
    first_page = "S";
    start = 0;
    end = 50000;
  }
  std::vector<wire::Argument> Arguments() const { return wire::EncodeRegistro(*this); }
};

// The pages of one file, as the screen asks for them.
struct FetchedFile {
  std::string status;
  std::vector<std::string> lines;
  std::vector<std::string> flags;  // first-page flag of each call
  std::vector<std::pair<double, double>> ranges;
  std::string directory;
};
