#pragma once
// The one writer of the tables a magnetic file is built from: the company
// registry (companies, registrations, fiscal maps, books…) and the fiscal
// documents (notes and their items, products, fiscal printers, consumer
// notes, transport documents, GNREs, inventories, stocks). The demo loaders,
// the XML import and the merge of other systems' files all write through
// it, so each table's columns are named in one place.
//
// Money is in cents, quantities in thousandths, rates in hundredths of a
// percent, dates "AAAA-MM-DD". An empty optional is written as NULL.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "lib/sql/session.h"

namespace server {

using Nullable = std::optional<std::string>;

// The company registry.
struct CountryRow {
  std::string code{}, name{};
};
struct StateRow {
  std::string country{}, uf{}, name{};
};
struct CompanyRow {
  std::string code{}, name{};
  Nullable crt{};  // tax regime code
};
struct TaxRow {
  std::string code{}, acronym{};
  Nullable collector{};
};
// A company's state registration: the establishment a file is made for.
struct RegistrationRow {
  std::string company{}, registration{}, cnpj{}, uf{}, city{};
  Nullable fax{}, street{}, number{}, complement{}, district{}, zip{}, contact{}, phone{};
};
struct MunicipalRegistrationRow {
  std::string company{}, registration{};
};
struct SubstituteRegistrationRow {
  std::string company{}, registration{}, substitute{}, uf{};
};
struct BookRow {
  std::string code{}, name{};
};
struct FiscalMapRow {
  std::string company{}, registration{}, month{};  // month "AAAAMM"
  std::string locked{};                            // "S" or "N"
};

// The fiscal documents.
struct ProductRow {
  std::string code{};
  Nullable ncm{};
  std::string name{}, unit{};
  std::int64_t ipi_rate = 0, icms_rate = 0, base_reduction = 0, st_base = 0;
};
struct NoteRow {
  std::int64_t sequence = 0;
  std::string company{}, registration{};
  Nullable book{};
  std::string direction{};  // "E" entry, "S" exit
  std::string party_cnpj{}, party_ie{}, party_uf{}, date{}, model{}, series{}, number{};
  std::string issuer{};     // "P" own, "T" third party
  std::string situation{};  // "N", "S", "E", "X", "2", "4"
  Nullable anticipation{};
  std::int64_t freight = 0, insurance = 0, expenses = 0;
  Nullable access_key{};
  std::string from_file = "N";  // "S": merged from another system's file
};
struct NoteItemRow {
  std::int64_t sequence = 0, item = 0;
  std::string product{}, cfop{}, cst{};
  std::int64_t quantity = 0, value = 0, discount = 0, icms_base = 0, icms_rate = 0, icms = 0, exempt = 0,
               other = 0, st_base = 0, st_icms = 0, ipi = 0, ipi_exempt = 0, ipi_other = 0;
};
struct PrinterRow {
  std::string company{}, registration{}, serial{};
  std::int64_t order = 0;
  std::string model{};
};
// A printer's day: its reduction Z.
struct PrinterDayRow {
  std::int64_t sequence = 0;
  std::string company{}, registration{}, serial{}, date{};
  std::int64_t first_coo = 0, last_coo = 0, crz = 0, cro = 0, gross = 0, grand_total = 0;
  std::string from_file = "N";
};
struct PrinterTotalRow {
  std::int64_t day = 0;  // the reduction's sequence
  std::string totaliser{};
  std::int64_t amount = 0;
};
struct PrinterItemRow {
  std::int64_t day = 0, coo = 0, item = 0;
  std::string product{};
  std::int64_t quantity = 0, value = 0, icms_base = 0;
  std::string totaliser{};
  std::int64_t icms = 0;
};
struct ConsumerNoteRow {
  std::int64_t sequence = 0;
  std::string company{}, registration{}, date{}, model{}, series{}, subseries{}, number{};
  std::int64_t rate = 0, total = 0, icms_base = 0, icms = 0, exempt = 0, other = 0;
  Nullable access_key{};
  std::string situation = "N";
  std::string from_file = "N";
};
struct ConsumerNoteItemRow {
  std::int64_t sequence = 0, item = 0;
  std::string product{};
  std::int64_t quantity = 0, value = 0, icms_base = 0;
};
struct TransportDocumentRow {
  std::int64_t sequence = 0;
  std::string company{}, registration{};
  Nullable book{};
  std::string direction{}, party_cnpj{}, party_ie{}, party_uf{}, date{}, model{}, series{}, subseries{},
      number{}, cfop{};
  std::int64_t total = 0, icms_base = 0, icms = 0, exempt = 0, other = 0;
  std::string freight{};    // "1" CIF, "2" FOB, "0" other
  std::string situation{};  // as a note's
  Nullable access_key{};
};
struct GnreRow {
  std::int64_t sequence = 0;
  std::string company{}, registration{}, substitute{}, favoured_uf{}, payment_date{}, bank{}, agency{},
      number{};
  std::int64_t amount = 0;
  std::string due_date{}, reference{};  // reference "AAAAMM"
  Nullable agreement{};
};
struct InventoryRow {
  std::string company{}, registration{}, date{}, product{}, possession{};
  std::string holder_cnpj{}, holder_ie{}, holder_uf{};
  std::int64_t quantity = 0, value = 0;
};
struct StStockRow {
  std::string company{}, registration{}, date{}, product{};
  std::int64_t quantity = 0, st_icms = 0, own_icms = 0;
};

class FiscalTables {
 public:
  // Rows are sent `rows_per_send` at a time, and whenever Flush is called.
  explicit FiscalTables(sql::Session& session, std::size_t rows_per_send = 1000);
  ~FiscalTables();
  FiscalTables(const FiscalTables&) = delete;
  FiscalTables& operator=(const FiscalTables&) = delete;

  void Add(const CountryRow& row);
  void Add(const StateRow& row);
  void Add(const CompanyRow& row);
  void Add(const TaxRow& row);
  void Add(const RegistrationRow& row);
  void Add(const MunicipalRegistrationRow& row);
  void Add(const SubstituteRegistrationRow& row);
  void Add(const BookRow& row);
  void Add(const FiscalMapRow& row);
  void Add(const ProductRow& row);
  void Add(const NoteRow& row);
  void Add(const NoteItemRow& row);
  void Add(const PrinterRow& row);
  void Add(const PrinterDayRow& row);
  void Add(const PrinterTotalRow& row);
  void Add(const PrinterItemRow& row);
  void Add(const ConsumerNoteRow& row);
  void Add(const ConsumerNoteItemRow& row);
  void Add(const TransportDocumentRow& row);
  void Add(const GnreRow& row);
  void Add(const InventoryRow& row);
  void Add(const StStockRow& row);

  // Sends every row added and not yet sent, each table's rows after those
  // of the tables it refers to. A block may be sent between any two Adds:
  // add a row before the rows that refer to it. Rows not flushed when the
  // writer goes are not written.
  // Throws sql::DatabaseError.
  void Flush();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace server
