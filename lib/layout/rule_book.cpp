#include "lib/layout/rule_book.h"

#include <stdexcept>
#include <string>

namespace layout {

const std::vector<Rule>& RuleBook() {
  using enum Severity;
  static const std::vector<Rule> rules = {
      // The file and its lines.
      {"line-width", Error, "every line has 126 positions", "Manual, general rules; guide"},
      {"line-ending", Warning, "every line ends with CR LF",
       "Manual and guide prescribe CR LF; files written with LF alone are accepted by the states"},
      {"register-type", Error, "every register type is one of the layout's", "Manual"},
      {"file-order", Error,
       "10 first, 11 second (but in a purpose-5 file), 90 last, the types in ascending order, each once "
       "where "
       "the layout says so",
       "guide (file order); Manual (purpose 5)"},
      {"group-order", Warning, "inside a type, the lines follow the layout's sort keys",
       "Manual's montagem table; guide (75): prescribed, not a reason the validators give to refuse"},
      {"printer-day", Error,
       "each 60A, 60D and 60I follows the 60M of its day and printer, in the order M, A, D, I",
       "guide (60 block)"},
      {"numeric-field", Error, "N fields hold digits only", "guide"},
      {"date-field", Error, "dates are real calendar dates, AAAAMMDD", "guide"},
      {"text-field", Error, "X fields hold no control character and are left-aligned", "guide"},
      {"state", Error, "every UF is a state's abbreviation (or EX for a foreign party)", "Manual; guide"},
      // Register 10 and 11.
      {"informant-number", Error,
       "register 10's CNPJ has its check digits, or is the CPF of an informant registered by CPF, "
       "zero-filled "
       "to 14",
       "guide; Receita Federal CNPJ/CPF rules; the group manager's guide to Convênio 57/95, questions and "
       "answers (a CPF accepted since validator 2.3B); MG RICMS Annex VII ('CNPJ ou CPF do informante')"},
      {"informant-ie", Error,
       "the informant's state registration is valid for its UF (or, in a substitute's file, for another "
       "state), never ISENTO",
       "guide; states' IE rules"},
      {"period", Error, "the period runs from the first to the last day of a month", "guide"},
      {"period-months", Warning, "the period is one calendar month",
       "guide (one month per file; the screen allows a range)"},
      {"structure", Error, "register 10's structure code is 1, 2 or 3, and 3 for any period since 2004",
       "Manual, code list of register 10 (structure 3 since Convênio ICMS 76/03)"},
      {"header-codes", Error, "register 10's nature is 1-3 and its purpose 1, 2, 3 or 5",
       "Manual, code lists of register 10"},
      {"address", Warning, "register 11 has a street number or a complement", "guide"},
      // The documents' parties.
      {"party-number", Error,
       "a party's CNPJ has its check digits, or is a CPF zero-filled to 14; zeros for a foreign party (EX)",
       "guide; Receita Federal CNPJ/CPF rules"},
      {"party-ie", Error,
       "a party's state registration has the check digits of the register's UF; ISENTO for a party without "
       "one, and always for EX",
       "guide; states' IE rules"},
      {"party-ie-blank", Warning, "a party without a state registration is written ISENTO, not blank",
       "guide (ISENTO); the validators' reading of a blank one is not published"},
      {"cfop", Error, "a CFOP has four digits and starts with 1, 2, 3, 5, 6 or 7", "guide"},
      {"cfop-direction", Error,
       "a CFOP agrees with the party's state: 1/5 in the informant's state, 2/6 another state, 3/7 abroad",
       "guide"},
      {"situation", Error, "a document's situation is N, S, E, X, 2 or 4",
       "Manual; guide; public generators"},
      {"date-in-period", Error, "a document's or a day's date lies inside the period", "guide"},
      {"model", Error, "each register takes only its own document models", "guide; Manual"},
      {"issuer", Error, "the issuer is P or T", "Manual"},
      {"duplicate-50", Error, "one register 50 per document, CFOP and rate", "guide"},
      {"document-tie", Error, "every 51, 53 and 54 has the 50 of its document", "guide"},
      {"blank-positions", Error, "the positions the layout leaves blank are blank", "Manual"},
      {"anticipation", Error, "register 53's anticipation code is 1-6 or blank", "Manual; public generators"},
      {"item-number", Error, "a goods line of 54 is numbered 001-990 and carries a CST of three digits",
       "guide; Manual"},
      {"charge-line", Error,
       "the lines 991-999 of 54 (freight, insurance, PIS/COFINS, other charges) carry no product and no "
       "quantity",
       "Manual, register 54 fields 08 and 09"},
      {"product-code", Error, "a line that cites a product names its code", "MG RICMS Annex VII 21.1.3"},
      {"product-75", Error, "every product cited has exactly one 75, whose validity covers the period",
       "MG RICMS Annex VII 21.1.3 and 21.1.2"},
      {"unused-75", Warning, "every 75 is cited by another register", "MG RICMS Annex VII 21.1.3"},
      {"totaliser", Error, "a printer's totaliser is a rate of four digits or F, I, N, CANC, DESC, ISS",
       "Manual, register 60"},
      {"month-field", Error, "a month field is MMAAAA", "Manual"},
      {"number-range", Error, "a range of document numbers does not end before it starts",
       "Manual, register 61"},
      {"freight", Error, "register 70's freight code is 1 (CIF), 2 (FOB) or 0", "Manual, register 70"},
      {"possession", Error,
       "register 74's possession is 1, 2 or 3; own goods in own possession name no holder",
       "Manual, register 74"},
      {"informant-tie", Error, "the registers of the informant (55, 88) carry register 10's CNPJ", "Manual"},
      {"without-movement", Error, "a file that says it has no entries (88SME) or exits (88SMS) has none",
       "Manual, register 88"},
      {"totals-90", Error,
       "90 repeats register 10's CNPJ and IE, totals each type present (10, 11 and 90 left out) with the "
       "grand total 99 last, and says in position 126 how many 90 lines there are",
       "MG RICMS Annex VII 26.1; guide"},
      {"zero-total-90", Warning, "90 leaves out the types the file does not hold",
       "MG RICMS Annex VII 26.1 (types without lines are left out): prescribed; a zero total misstates no "
       "count"},
  };
  return rules;
}

const Rule& RuleNamed(std::string_view name) {
  for (const Rule& rule : RuleBook()) {
    if (rule.name == name) return rule;
  }
  throw std::out_of_range("no rule named '" + std::string(name) + "'");
}

}  // namespace layout
