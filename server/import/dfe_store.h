#pragma once
// Writes what the documents hold into the fiscal tables, for one informant.
// The caller runs each file in a transaction of its own: on any error the
// file changes nothing.
#include <memory>
#include <string>

#include "lib/sql/session.h"
#include "server/import/imported_document.h"
#include "server/store/fiscal_tables.h"

namespace server::import {

enum class Outcome { Imported, Updated, Unchanged };

// The establishment of a company and registration, with its CNPJ and state.
// Throws ImportRefused when the registration does not exist.
Informant LoadInformant(sql::Session& session, const std::string& company, const std::string& registration);

// Refuses a date in a month the informant's fiscal map has locked: a closed
// month takes no more documents.
void RequireOpenMonth(sql::Session& session, const Informant& informant, const std::string& date);

class DfeStore {
 public:
  DfeStore(sql::Session& session, Informant informant);
  ~DfeStore();

  // Takes the store's turn among importers sharing the database, inside the
  // file's transaction: the rows' sequence numbers are taken as the largest
  // plus one.
  void BeginFile();
  // A document of an access key not seen is inserted; one seen with other
  // values replaces the earlier rows; one seen with the same values is left
  // alone. A cancellation registered for its key keeps it cancelled.
  // Throws ImportRefused when its month is locked in the fiscal map, or when
  // the same document (party, model, series, number) is in the tables by
  // another route: typed in, or merged from another system's file.
  Outcome Store(const ImportedDocument& document);
  // Cancels the document of the key (now or when it comes), unless the key
  // is not the informant's: a cancellation by another issuer counts only
  // for a document already brought in.
  Outcome Cancel(const Cancellation& cancellation);

  const Informant& informant() const { return informant_; }

 private:
  struct Statements;
  void RequireOpenMonth(const std::string& date) { import::RequireOpenMonth(session_, informant_, date); }
  void InsertNote(const ImportedDocument& d, char situation);
  void InsertConsumerNote(const ImportedDocument& d, char situation);
  void InsertTransportBill(const ImportedDocument& d, char situation);
  void EnsureProducts(const ImportedDocument& d);
  void RequireNotEnteredElsewhere(const ImportedDocument& d);
  std::int64_t Next(const char* column, const char* table);

  sql::Session& session_;
  Informant informant_;
  FiscalTables tables_;
  std::unique_ptr<Statements> statements_;
};

}  // namespace server::import
