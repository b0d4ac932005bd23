#pragma once
// Reads one authorised electronic document (NF-e or NFC-e 4.00, CT-e 3.00 or
// 4.00, each in its wrapper with the authorisation protocol) or one event
// file, as the informant sees it. The XML library stays behind this header.
#include <string>
#include <string_view>
#include <variant>

#include "server/import/imported_document.h"

namespace server::import {

// A file read and found to have nothing for the tables (an event other than
// a cancellation), with the reason.
struct Ignored {
  std::string reason;
};

using DfeContent = std::variant<ImportedDocument, Cancellation, Ignored>;

// Throws ImportRefused with the reason for a file that is not well-formed
// XML, not an authorised document of a supported version, of the test
// environment, not authorised, of another establishment, or holding a value
// the tables or the magnetic file cannot carry.
DfeContent ReadDfe(std::string_view bytes, const Informant& informant);

}  // namespace server::import
