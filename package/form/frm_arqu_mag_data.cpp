// The data part of the form definition: lookup queries with their statement
// texts, client datasets with their fields, data sources, the server
// connection and the components nothing uses.
#include <string>
#include <vector>

#include "host/components/db_geral.h"
#include "package/form/frm_arqu_mag.h"

namespace {

using comp::TFieldType;

struct FieldSpec {
  const char* name;
  TFieldType type;
  int size;
  const char* label;  // nullptr: the field name
  bool visible;
  bool required;
  int display_width;  // 0: the size
};

constexpr FieldSpec S(const char* name, int size, const char* label = nullptr, bool visible = true,
                      bool required = false, int display_width = 0) {
  return {name, TFieldType::ftString, size, label, visible, required, display_width};
}
constexpr FieldSpec F(const char* name) { return {name, TFieldType::ftFloat, 0, nullptr, true, false, 0}; }

void AddFields(comp::TDataSet& dataset, const std::vector<FieldSpec>& specs) {
  for (const FieldSpec& spec : specs) {
    comp::TField& field = dataset.AddField(spec.name, spec.type, spec.size);
    if (spec.label) field.SetDisplayLabel(spec.label);
    field.SetVisible(spec.visible);
    field.SetRequired(spec.required);
    if (spec.display_width) field.SetDisplayWidth(spec.display_width);
  }
}

comp::TADOIBQuery* MakeQuery(TfrmArquMag& form, const std::string& name) {
  auto* query = &form.Create<comp::TADOIBQuery>(name);
  query->SetConnection(comp::dtmDBGeral ? comp::dtmDBGeral->adcGeral : nullptr);
  return query;
}

comp::TClientDataSet* MakeClientDataSet(TfrmArquMag& form, const std::string& name,
                                        const std::vector<FieldSpec>& fields) {
  auto* dataset = &form.Create<comp::TClientDataSet>(name);
  AddFields(*dataset, fields);
  return dataset;
}

comp::TDataSource* MakeSource(TfrmArquMag& form, const std::string& name, comp::TDataSet* dataset) {
  auto* source = &form.Create<comp::TDataSource>(name);
  source->SetDataSet(dataset);
  return source;
}

}  // namespace

void TfrmArquMag::DefineData() {
  qryEstado = MakeQuery(*this, "qryEstado");
  AddFields(*qryEstado, {S("SGESTADO", 2, "Sigla", true, true), S("NMESTADO", 30, "Nome")});
  const std::vector<std::string> estado_generic = {
      "SELECT",
      "   SGESTADO,",
      "   NMESTADO",
      "FROM",
      "   ESTADO",
      "WHERE",
      "   (CDPAIS        =  :P_CDPAIS)                           AND",
      "   (INSTR(NVL(:P_SGESTADO, SGESTADO), SGESTADO) > 0)",
      "ORDER BY",
      "   SGESTADO"};
  qryEstado->SetSQL(estado_generic);
  qryEstado->SetSQL_ORACLE(estado_generic);
  qryEstado->SetSQL_MSSQL({"SELECT", "   SGESTADO,", "   NMESTADO", "FROM", "   ESTADO", "WHERE",
                           "   (CDPAIS        =  :P_CDPAIS)                           AND",
                           "   (CHARINDEX(SGESTADO, ISNULL(:P_SGESTADO, SGESTADO)) > 0)", "ORDER BY",
                           "   SGESTADO"});
  qryEstado->SetSQL_IB(
      {"SELECT", "   SGESTADO,", "   NMESTADO", "FROM", "   ESTADO,", "   PARAM(:P_SGESTADO) P_SGESTADO",
       "WHERE", "   (CDPAIS        =  :P_CDPAIS)                           AND",
       "   (INSTR(NVLSTR(P_SGESTADO.PARAM, SGESTADO), SGESTADO) > 0)", "ORDER BY", "   SGESTADO"});

  qryPais = MakeQuery(*this, "qryPais");
  AddFields(*qryPais, {S("CDPAIS", 4, "Código", true, true), S("NMPAIS", 30, "Nome")});
  const std::vector<std::string> pais_generic = {"SELECT",
                                                 "   CDPAIS,",
                                                 "   NMPAIS",
                                                 "FROM",
                                                 "   PAIS",
                                                 "WHERE",
                                                 "   (CDPAIS =  NVL(:P_CDPAIS,CDPAIS))",
                                                 "ORDER BY",
                                                 "   CDPAIS"};
  qryPais->SetSQL(pais_generic);
  qryPais->SetSQL_ORACLE(pais_generic);
  qryPais->SetSQL_MSSQL({"SELECT", "   CDPAIS,", "   NMPAIS", "FROM", "   PAIS", "WHERE",
                         "   (CDPAIS =  ISNULL(:P_CDPAIS,CDPAIS))", "ORDER BY", "   CDPAIS"});
  qryPais->SetSQL_IB({"SELECT", "   CDPAIS,", "   NMPAIS", "FROM", "   PAIS,", "   PARAM(:P_CDPAIS) P_CDPAIS",
                      "WHERE", "   (CDPAIS =  NVLSTR(P_CDPAIS.PARAM,CDPAIS))", "ORDER BY", "   CDPAIS"});

  qryInscrEstad = MakeQuery(*this, "qryInscrEstad");
  AddFields(*qryInscrEstad,
            {S("CDEMPRESA", 2, nullptr, false, true), S("CDINSCESTA", 16, "Código", true, true),
             S("NRINSJURIEST", 20, nullptr, false), S("SGESTADO", 2, "Estado")});
  qryInscrEstad->SetSQL({"SELECT CDEMPRESA, CDINSCESTA, NRINSJURIEST, SGESTADO", "FROM INSCRESTAD",
                         "WHERE CDEMPRESA   = :P_EMPRESA AND",
                         "      (CDINSCESTA = :P_INSCESTA OR :P_TINSCESTA = 'T')", "ORDER BY CDINSCESTA"});

  qryInscrMunicip = MakeQuery(*this, "qryInscrMunicip");
  AddFields(*qryInscrMunicip, {S("CDINSCMUNI", 16, "Código", true, true)});
  qryInscrMunicip->SetSQL({"SELECT CDINSCMUNI", "FROM INSCRMUNICIP",
                           "WHERE (CDEMPRESA      = :P_EMPRESA) AND",
                           "      (CDINSCMUNI = :P_INSCMUNI OR :P_TINSCMUNI = 'T')"});

  // Never opened: the taxes come from the application server.
  qryImposto = MakeQuery(*this, "qryImposto");
  AddFields(*qryImposto, {S("SGIMPOSTONFE", 10, "Sigla"), S("IDORGARRECADNFE", 1, nullptr, false),
                          S("CDIMPOSTONFE", 2, "Código")});
  qryImposto->SetSQL({"SELECT SGIMPOSTONFE, IDORGARRECADNFE, CDIMPOSTONFE", "FROM IMPOSTONFE",
                      "WHERE (CDIMPOSTONFE = :P_IMPOSTO OR :P_TIMPOSTO = 'T')", "ORDER BY CDIMPOSTONFE"});

  cdsEmpresa = MakeClientDataSet(
      *this, "cdsEmpresa",
      {S("CDEMPRESA", 2, "Código"), S("NMEMPRESA", 40, "Nome"), S("CDSITUCRT", 1, nullptr, false)});
  cdsEmpresaCDSITUCRT = &cdsEmpresa->FieldByName("CDSITUCRT");
  cdsImposto = MakeClientDataSet(*this, "cdsImposto",
                                 {S("SGIMPOSTONFE", 10, "Sigla"), S("CDIMPOSTONFE", 2, "Código"),
                                  S("IDORGARRECADNFE", 1, nullptr, false)});
  cdsInscST =
      MakeClientDataSet(*this, "cdsInscST",
                        {S("CDEMPRESA", 2, "Empresa", false), S("CDINSCESTA", 16, "Insc. Estadual", false),
                         S("CDINSCESTAST", 16, "Código"), S("SGESTADO", 2, "Estado")});
  cdsLivroMag = MakeClientDataSet(
      *this, "cdsLivroMag",
      {S("CDLIVROMAG", 10, "Código", true, false, 12), S("NMLIVROMAG", 50, "Nome", true, false, 30)});
  cdsRegistros =
      MakeClientDataSet(*this, "cdsRegistros",
                        {S("NRSEQARQMAG", 10), S("NRORDREGARQ", 10), S("DSREGARQMAG", 4000), F("SQUENCIAL")});
  cdsRegistro = MakeClientDataSet(*this, "cdsRegistro", {S("IDREGISTRO", 2, nullptr, true, false, 2)});
  cdsRegistro75 =
      MakeClientDataSet(*this, "cdsRegistro75",
                        {S("TIPOREG", 2), S("DTINICIAL", 8), S("DTFINAL", 8), S("CDARVPROD", 20),
                         S("CDCLASFISC", 10), S("NMPRODUTO", 50), S("SGUNIDADE", 10), S("CDSITUTRIBPR", 3),
                         F("VRALIQIPI"), F("VRALIQICMS"), F("VRPERREDBCIT"), F("VRBASESUBST")});
  cdsRegistro75->FieldByName("TIPOREG").SetFixedChar(true);

  // Datasets of the form that no operation creates, fills or reads.
  for (const char* name :
       {"cdsRegistro10", "cdsRegistro11", "cdsRegistro50", "cdsRegistro53", "cdsRegistro60A",
        "cdsRegistro60D", "cdsRegistro60I", "cdsRegistro61", "cdsRegistro70", "cdsRegistro90"}) {
    MakeClientDataSet(*this, name, {S("DSARQMAG", 126)});
  }
  for (const char* name : {"cdsRegistro51", "cdsRegistro60M"})
    MakeClientDataSet(*this, name, {S("DSARQUMAG", 126)});
  for (const char* name : {"cdsRegistro60R", "cdsRegistro74"}) {
    MakeClientDataSet(*this, name, {S("DSARQMAG", 126), S("CDARVPROD", 20), S("NMPRODUTO", 50)});
  }
  for (const char* name : {"cdsRegistro5401", "cdsRegistro5402", "cdsRegistro5403"}) {
    MakeClientDataSet(
        *this, name,
        {S("DSINICIO", 34), S("DSARQMAG", 101), S("CDARVPROD", 20), F("VRALIQICMS"), S("NRNOTA", 6)});
  }

  dtsEmpresa = MakeSource(*this, "dtsEmpresa", cdsEmpresa);
  dtsImpostonfe = MakeSource(*this, "dtsImpostonfe", cdsImposto);
  dtsInscrEstad = MakeSource(*this, "dtsInscrEstad", &qryInscrEstad->Query());
  dtsInscrMuni = MakeSource(*this, "dtsInscrMuni", &qryInscrMunicip->Query());
  dtsInscST = MakeSource(*this, "dtsInscST", cdsInscST);
  dtsLivroMag = MakeSource(*this, "dtsLivroMag", cdsLivroMag);
  dtsPais = MakeSource(*this, "dtsPais", &qryPais->Query());
  dtsEstado = MakeSource(*this, "dtsEstado", &qryEstado->Query());
  dtsImposto = MakeSource(*this, "dtsImposto", &qryImposto->Query());
  qryEstado->SetDataSource(dtsEstado);
  qryImposto->SetDataSource(dtsImposto);
  qryInscrEstad->SetDataSource(dtsInscrEstad);
  qryPais->SetDataSource(dtsPais);
  qryInscrMunicip->SetDataSource(dtsInscrMuni);
  Bind(qryEstado->BeforeOpen, "qryEstadoBeforeOpen");

  netArqMag = &Create<comp::TNetConnection>("netArqMag");
  netArqMag->SetServerName("Mag04200.rdmArqMag");
  netArqMag->SetThrowException(false);
  Bind(netArqMag->BeforeConnect, "netArqMagBeforeConnect");

  svdSaveExport = &Create<comp::TSaveDialog>("svdSaveExport");
  svdSaveExport->DefaultExt = ".txt";
  svdSaveExport->Filter = "Documento Texto (*.txt)|*.txt";
  svdSaveExport->InitialDir = "C:\\";
  IdFTP = &Create<tk::TComponent>("TIdFTP", "IdFTP");
}
