#pragma once
// The rules of a document's party and CFOPs, applied alike by the checker
// (to the lines of a file), by the export (to the rows before they are
// written) and by the import (to a document before it is stored): a
// document that one refuses, the others refuse, by the same rule and in the
// same words.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lib/layout/rule_book.h"

namespace layout {

// A rule a value breaks, worded for the fiscal user (`words`, the texts of
// the export's and the import's refusals) and for the checker's report.
struct Breach {
  std::string_view rule;  // a name of the rule book
  Severity severity = Severity::Error;
  std::string field;    // the field of the line: "CNPJ", "IE", "CFOP", "UF"
  std::string words;    // "o CNPJ/CPF da outra parte, '…', não é válido (…)"
  std::string finding;  // "CNPJ/CPF … has wrong check digits"
};

// A state registration as a file writes it: without its punctuation (dots,
// dashes, slashes, blanks); "ISENTO" for none. Anything else is kept, for
// the rules to judge: São Paulo's rural producers keep their "P", and a
// registration typed with letters is refused, not written as something else.
std::string WrittenStateRegistration(std::string_view stored);

// The 27 states' abbreviations (the Federal District's among them).
const std::vector<std::string>& StateAbbreviations();
// A UF: a state's abbreviation, or EX for a foreign party when `abroad_too`.
bool KnownState(std::string_view uf, bool abroad_too);

// The party's number as stored (CNPJ or CPF, punctuation allowed; zeros or
// nothing abroad), for a party in `uf`.
std::optional<Breach> PartyNumberBreach(std::string_view number, std::string_view uf);
// The party's state registration as the file writes it, for a party in `uf`.
std::optional<Breach> PartyIeBreach(std::string_view written_ie, std::string_view uf);
// The informant's own number as the registry keeps it (punctuation
// allowed): a CNPJ, or for a person registered with the state by CPF (a
// rural producer) a CPF of 11 digits, or zero-filled to 14; each with its
// check digits. Registers 10 and 90 write a CPF zero-filled to 14.
std::optional<Breach> InformantNumberBreach(std::string_view stored);

// The informant's own state registration as the file writes it, for its
// state `uf`: never ISENTO, valid there.
std::optional<Breach> InformantIeBreach(std::string_view written_ie, std::string_view uf);
// A CFOP of the informant's side, for a party in `uf` when the informant is
// in `home` (empty when not known): a code of four digits of entry (1-3) or
// exit (5-7), agreeing with where the party is. `entry` is the document's
// direction; the code's own first digit when the caller knows no other.
std::optional<Breach> CfopBreach(std::string_view cfop, std::string_view uf, std::string_view home,
                                 bool entry);

// The code lists of the layout, each once.
// A document's situation: N normal, S cancelled, E and X the same entered
// late, 2 denied, 4 number voided.
bool ValidSituation(char situation);
// Who issued a document: P the informant, T a third party.
bool ValidIssuer(char issuer);
// A fiscal printer's partial totaliser (blanks after it ignored): a rate of
// four digits ("1700"), or F, I, N, CANC, DESC, ISS.
bool ValidTotaliser(std::string_view code);
// A transport document's freight: 1 CIF, 2 FOB, 0 others.
bool ValidFreight(std::string_view code);

// The number of a goods line of register 54 as stored: 001 to 990 (the
// numbers 991 to 999 are the lines of the document's charges).
std::optional<Breach> ItemNumberBreach(std::string_view item);

// The CST of a goods line of register 54: three digits, the origin of the
// goods and their taxation.
std::optional<Breach> CstBreach(std::string_view cst);

// A document's party and one of its CFOPs, as a file will write them.
struct DocumentParty {
  std::string_view number;  // as stored
  std::string_view ie;      // as stored
  std::string_view uf;
  std::string_view home;                 // the informant's UF
  std::optional<std::string_view> cfop;  // none: a number without values, with no CFOP to check
  bool entry = false;
  char situation = 'N';
  char issuer = 'P';
};

// Every rule the party, the CFOP, the situation and the issuer break, errors first.
std::vector<Breach> DocumentBreaches(const DocumentParty& party);
// The first error among them, or nothing.
std::optional<Breach> FirstError(const std::vector<Breach>& breaches);

}  // namespace layout
