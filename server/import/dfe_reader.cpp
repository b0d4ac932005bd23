#include "server/import/dfe_reader.h"

#include "server/import/readers.h"
#include "server/import/xml_paths.h"
#include "server/import/xml_text.h"

namespace server::import {

DfeContent ReadDfe(std::string_view bytes, const Informant& informant) {
  const std::string text = Utf8Text(bytes);
  pugi::xml_document document;
  const pugi::xml_parse_result parsed =
      document.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
  if (!parsed)
    throw ImportRefused(std::string("XML malformado: ") + parsed.description() + " (posição " +
                        std::to_string(parsed.offset) + ")");
  const pugi::xml_node root = document.document_element();
  const std::string_view name = xml::LocalName(root);
  if (name == "nfeProc") return ReadNfe(root, informant);
  if (name == "cteProc") return ReadCte(root, informant);
  if (name == "procEventoNFe") return ReadEvent(root, false);
  if (name == "procEventoCTe") return ReadEvent(root, true);
  if (name == "procCancNFe") return ReadOldCancellation(root, false);
  if (name == "procCancCTe") return ReadOldCancellation(root, true);
  if (name == "NFe" || name == "CTe")
    throw ImportRefused("o documento está sem o protocolo de autorização: importe o arquivo autorizado (" +
                        std::string(name == "NFe" ? "nfeProc, com o protNFe" : "cteProc, com o protCTe") +
                        ")");
  throw ImportRefused("o arquivo não é NF-e, NFC-e ou CT-e autorizado nem evento de documento (elemento <" +
                      std::string(name) + ">)");
}

}  // namespace server::import
