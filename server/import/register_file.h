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

struct NoteLine {  // a 50 line: the document's values of one CFOP and rate
  long line = 0;
  std::string cfop;
  std::int64_t total = 0, icms_base = 0, icms = 0, exempt = 0, other = 0, rate = 0;
};

struct NoteItem {  // a 54 line of an item (001 to 990)
  long line = 0;
  std::int64_t item = 0, quantity = 0, value = 0, discount = 0, icms_base = 0, st_base = 0, ipi = 0, rate = 0;
  std::string cfop, cst, product;
};

// A document of 50, with its 51, 53 and 54 lines.
struct MergedNote {
  long line = 0;  // its first 50 line
  std::string cnpj, ie, date, uf, model, series, number, anticipation;
  char issuer = 'P', situation = 'N';
  std::vector<NoteLine> lines;
  std::vector<NoteItem> items;
  std::int64_t freight = 0, insurance = 0, other_charges = 0;              // 54 items 991, 992, 999
  std::map<std::string, std::pair<std::int64_t, std::int64_t>> ipi_split;  // 51: CFOP → exempt, other
};

struct RegisterFile {
  std::string cnpj, ie, first_day, last_day;  // register 10
  std::vector<PrinterDay> days;
  std::vector<ConsumerDay> consumer_days;
  std::vector<ConsumerMonthItem> consumer_items;
  std::vector<ProductLine> products;
  std::vector<MergedNote> notes;  // only when the notes are asked for
  // The lines rebuilt from the rows (60D and 60R from 60I; 60 and 61 as a
  // whole), with their line numbers, to be compared with what the rows give.
  std::vector<std::pair<long, std::string>> rebuilt;
  std::map<std::string, long> left_out;  // register type → lines not taken
};

// Reads the lines of a file the checker passed (CR LF endings), and its
// notes (50, 51, 53, 54) when `with_notes`. Throws ImportRefused for a 60A
// or 60I without its 60M, a 51, 53 or 54 without its 50, or a file without
// its 10.
RegisterFile ReadRegisterFile(const std::string& path, bool with_notes);

}  // namespace server::import
