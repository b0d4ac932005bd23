#pragma once
// Merges the registers of another system's magnetic file into the fiscal
// tables of the informant, after proving that the company's own file will
// carry them unchanged: the rows are first written to a scratch database,
// the file's builders run over it, and every 60 and 61 line they give must
// be a line of the file and the other way round; with the notes, every 50,
// 51, 53 and 54 line too.
#include <string>

#include "lib/sql/session.h"
#include "server/import/imported_document.h"
#include "server/import/register_file.h"

namespace server::import {

struct MergeSummary {
  long reductions = 0, totals = 0, printer_items = 0, consumer_days = 0, consumer_items = 0, products = 0,
       new_products = 0, notes = 0, note_items = 0, rebuilt = 0;
};

// Throws ImportRefused with the line number and the reason when the file is
// not the informant's, falls in a month locked in the fiscal map, clashes
// with rows that did not come from a file, or holds a 60 or 61 line the rows
// cannot give again. Writes in one transaction: on any error nothing
// changes. A later merge of the same period replaces an earlier one.
MergeSummary MergeRegisterFile(sql::Session& session, const Informant& informant, const RegisterFile& file);

// The whole merge of a magnetic file at `path`: checked by the layout
// checker (a line it refuses refuses the file: its values would not be read
// as the other system meant them), read, merged. Returns the summary, a line
// per kind of row; throws ImportRefused with the reason.
std::string MergeMagneticFile(sql::Session& session, const Informant& informant, const std::string& path,
                              bool with_notes);

}  // namespace server::import
