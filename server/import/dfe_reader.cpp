#include "server/import/dfe_reader.h"

#include "server/import/readers.h"
#include "server/import/xml_paths.h"

namespace server::import {

DfeContent ReadDfe(std::string_view bytes, const Informant& informant) {
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_buffer(bytes.data(), bytes.size());
  if (!parsed)
    throw ImportRefused(std::string("XML malformado: ") + parsed.description() + " (posição " +
                        std::to_string(parsed.offset) + ")");
  const pugi::xml_node root = document.document_element();
  const std::string_view name = xml::LocalName(root);
  if (name == "nfeProc") return ReadNfe(root, informant);
  if (name == "cteProc") return ReadCte(root, informant);
  if (name == "procEventoNFe") return ReadEvent(root, false);
  if (name == "procEventoCTe") return ReadEvent(root, true);
  if (name == "NFe" || name == "CTe")
    throw ImportRefused("o documento está sem o protocolo de autorização: importe o arquivo autorizado (" +
                        std::string(name == "NFe" ? "nfeProc, com o protNFe" : "cteProc, com o protCTe") +
                        ")");
  throw ImportRefused("o arquivo não é NF-e, NFC-e ou CT-e autorizado nem evento de documento (elemento <" +
                      std::string(name) + ">)");
}

}  // namespace server::import
