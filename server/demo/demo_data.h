#pragma once
// A demo data set rich enough to try every rule of the screen, and a bulk
// company for volume runs.
#include "lib/sql/session.h"

namespace server {

// Loads the demo data into a migrated database that holds no company yet;
// returns false (and changes nothing) when it holds one.
bool LoadDemoData(sql::Session& session);
// Company "90" with `documents` notes of four items each in January 2026:
// five lines per note (one 50, four 54) plus 75 lines for its 50 products;
// with its printers, consumer notes, freight bills, GNRE, inventory and stock
// under tax substitution (LoadVolumeActivity). Replaces an earlier volume.
void LoadVolumeData(sql::Session& session, long documents);
// `companies` companies "10", "11" … "59" of the volume company's shape
// (its registration, products and notes, without its other activity), each
// with `documents` notes in January 2026, the month locked: a batch's month
// of many files. Replaces earlier ones.
void LoadVolumeCompanies(sql::Session& session, int companies, long documents);
// A CNPJ of 14 digits from its first 12, with its check digits.
std::string CnpjFrom(const std::string& first12);

}  // namespace server
