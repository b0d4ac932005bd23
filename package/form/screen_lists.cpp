#include "package/form/screen_lists.h"

const std::vector<std::string>& FileTypes() {
  static const std::vector<std::string> items = {"SINTEGRA",      "DIEF - MA",     "DIEF - PI",
                                                 "SINTEGRA - MS", "SINTEGRA - RJ", "SINTEGRA - RS"};
  return items;
}

const std::vector<std::string>& ConventionVersions() {
  static const std::vector<std::string> items = {"1 - Convênio ICMS 31/99", "2 - Convênio ICMS xx/02 ",
                                                 "3 - Convênio ICMS xx/04"};
  return items;
}

const std::vector<std::string>& FilePurposes() {
  // There is no purpose with the code 4.
  static const std::vector<std::string> items = {"1 - Normal", "2 - Retificação total de arquivo",
                                                 "3 - Retificação aditiva de arquivo", "5 - Desfazimento"};
  return items;
}

const std::vector<std::string>& RegisterItems() {
  static const std::vector<std::string> items = {
      "50 - NF(Md1 e 1-A), Conta Energia Elét.(Md6), Comunicação(Md21), Telecomunicação(Md22)",
      "51 - Total de NF quanto ao IPI",
      "53 - Substituição Tributária",
      "54 - Produto(Classificação Fiscal)",
      "55 - Recolhimento de Tributos",
      "60 - Doc. Fiscais emitidos por ECF (60M; 60A; 60D; 60I; 60R)",
      "61 - Doc. Fiscais não emitidos por equipamento emissor de cupom fiscal",
      "70 - NF de Serviço de Transporte",
      "74 - Registro de Inventário",
      "75 - Código de Produto ou Serviço ",
      "88 - Informações - Substituição Tributária",
      "88 - Registros Sem Movimento",
  };
  return items;
}
