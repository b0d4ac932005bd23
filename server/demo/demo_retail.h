#pragma once
// The demo's retailer (company "05", São Paulo): two fiscal printers with a
// month of reductions Z and coupon items, consumer notes, freight bills, a
// GNRE, and the inventory of 31 December 2025 with its stock under tax
// substitution; and a company ("06", Mato
// Grosso do Sul) with a month without movement. Every total adds up from
// its items, and every product exists.
#include <string>
#include <vector>

#include "lib/sql/session.h"
#include "server/store/fiscal_tables.h"

namespace server {

// The companies, registrations and locked maps of both.
void LoadRetailCompanies(FiscalTables& tables);
// The retailer's printers, consumer notes, freight bills, GNRE and inventory.
void LoadRetailActivity(FiscalTables& tables);

// The volume company's printers, consumer notes, freight bills and GNRE of
// January 2026 and its inventory and stock under tax substitution of 31
// December 2025, in proportion to its
// `documents` notes (about one line for every seven of the notes), for the
// products `codes`. Replaces an earlier volume (through `session`) and
// writes through `tables`, flushing them at the end.
void LoadVolumeActivity(sql::Session& session, FiscalTables& tables, const std::string& company,
                        const std::string& registration, long documents,
                        const std::vector<std::string>& codes);

// The first registration of state `uf` with valid check digits at or after
// `from` (digits only).
std::string StateRegistrationFrom(const std::string& uf, long long from);

// The demo retailer and the company without movement.
inline const char* const kRetailCompany = "05";
inline const char* const kQuietCompany = "06";
std::string RetailRegistration();
std::string QuietRegistration();

}  // namespace server
