#pragma once
// The readers of each kind of file, behind ReadDfe.
#include <pugixml.hpp>

#include "server/import/dfe_reader.h"

namespace server::import {

ImportedDocument ReadNfe(const pugi::xml_node& proc, const Informant& informant);
ImportedDocument ReadCte(const pugi::xml_node& proc, const Informant& informant);
DfeContent ReadEvent(const pugi::xml_node& proc, bool transport);
DfeContent ReadOldCancellation(const pugi::xml_node& proc, bool transport);

}  // namespace server::import
