#pragma once
// What the NF-e, NFC-e and CT-e readers share: the environment and status of
// the authorisation, the parties, and the informant's own CFOP.
#include <pugixml.hpp>

#include <optional>
#include <string>

#include "server/import/imported_document.h"

namespace server::import {

struct Party {
  std::string cnpj;  // CNPJ or CPF digits; 14 zeros for a party abroad
  std::string ie;    // digits, or ISENTO
  std::string uf;    // EX abroad
};

// The party of a group (emit, dest, rem, toma4 ...) whose address is the
// child `address`: CNPJ, CPF or a foreign id, IE (ISENTO without one), UF.
Party ReadParty(const pugi::xml_node& group, const char* address, const std::string& what);

// Refuses a document of the test environment (tpAmb 2): it has no fiscal value.
void RequireProduction(const std::string& environment, const std::string& what);

// The situation a protocol's status gives: 'N' authorised (100, 150), '2'
// denied (110, 301, 302, 303), 'S' cancelled (101, 151: the document's
// cancellation was registered). Any other status refuses the file.
char SituationOfStatus(const std::string& status, const std::string& reason, const std::string& what);

// The cancellation of the document of `key`, registered on `when` (an
// ISO date and time) under `protocol`; its author is the issuer the key names.
Cancellation CancellationOf(const std::string& key, const std::string& when, const std::string& protocol);

// A cancellation's answer (retEvento, retEventoCTe) that some systems append
// to the document's own wrapper after its protocol: the cancellation of
// `key` when one is there and registered (110111, or 110112 the NFC-e's
// cancellation by substitution; cStat 135 or 155).
std::optional<Cancellation> AppendedCancellation(const pugi::xml_node& proc, const std::string& key,
                                                 const std::string& prefix);

// The access key and situation of an authorised document: `inf`'s Id
// ("NFe" or "CTe" + 44 digits) must be its protocol's key (ch`prefix`), and
// neither may be of the test environment.
void ReadAuthorisation(const pugi::xml_node& inf, const pugi::xml_node& protocol, const std::string& prefix,
                       ImportedDocument& document);

// The issuer's CFOP turned to the informant's direction: an entry takes the
// entry code of the same operation (5→1, 6→2, 7→3), an exit the exit code
// (1→5, 2→6, 3→7). Refuses a code that is not four digits or not 1-3, 5-7.
std::string OwnCfop(const std::string& cfop, char direction);

// Refuses a document the export would refuse, by the same rules and in the
// same words: its party (CNPJ or CPF, state registration, UF) or a CFOP
// that does not agree with where the party is.
void RequireWritable(const ImportedDocument& document, const Informant& informant);

// Whether the registration's digits name the same IE as `ie` (digits or ISENTO).
bool SameRegistration(const std::string& registration, const std::string& ie);

}  // namespace server::import

namespace server::import {

// The refusal of a document in which the informant takes no part.
ImportRefused OfAnotherEstablishment(const Informant& informant, const std::string& issuer,
                                     const std::string& other_role, const std::string& other);

// Refuses a document whose informant's IE (when the document gives one)
// is not the registration the documents are brought in for.
void RequireRegistration(const Informant& informant, const std::string& ie, const std::string& role);

// `text` when it has 1 to `size` characters, digits only when `digits`;
// otherwise refuses naming `what`: the tables keep no longer value.
std::string Bounded(const std::string& text, std::size_t size, bool digits, const std::string& what);

}  // namespace server::import
