#pragma once
// The registers of another system's magnetic file that the company's own
// file can carry again: the fiscal printers' days (60), the consumer
// documents (61, 61R) and the products (75), read field by field from lines
// the layout checker has passed.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace server::import {

struct PrinterItem {
  std::int64_t coo = 0, item = 0, quantity = 0, value = 0, icms_base = 0, icms = 0;
  std::string product, totaliser;
};

struct PrinterDay {
  long line = 0;
  std::string date, serial, model;
  std::int64_t order = 0, first_coo = 0, last_coo = 0, crz = 0, cro = 0, gross = 0, grand_total = 0;
  std::vector<std::pair<std::string, std::int64_t>> totals;  // 60A: totaliser, amount
  std::vector<PrinterItem> items;                            // 60I
};

struct ConsumerDay {  // a 61 line
  long line = 0;
  std::string date, model, series, subseries;
  std::int64_t first = 0, last = 0, total = 0, icms_base = 0, icms = 0, exempt = 0, other = 0, rate = 0;
};

struct ConsumerMonthItem {  // a 61R line
  long line = 0;
  std::string month;  // AAAA-MM
  std::string product;
  std::int64_t quantity = 0, value = 0, icms_base = 0, rate = 0;
};

struct ProductLine {  // a 75 line
  std::string code, ncm, description, unit;
  std::int64_t ipi_rate = 0, icms_rate = 0, reduction = 0, st_base = 0;
};

struct RegisterFile {
  std::string cnpj, ie, first_day, last_day;  // register 10
  std::vector<PrinterDay> days;
  std::vector<ConsumerDay> consumer_days;
  std::vector<ConsumerMonthItem> consumer_items;
  std::vector<ProductLine> products;
  // The lines rebuilt from the rows (60D and 60R from 60I; 60 and 61 as a
  // whole), with their line numbers, to be compared with what the rows give.
  std::vector<std::pair<long, std::string>> rebuilt;
  std::map<std::string, long> left_out;  // register type → lines not taken
};

// Reads the lines of a file the checker passed (CR LF endings). Throws
// ImportRefused for a 60A or 60I without its 60M, or a file without its 10.
RegisterFile ReadRegisterFile(const std::string& path);

}  // namespace server::import
