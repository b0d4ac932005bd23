#include "server/store/fiscal_tables.h"

#include <array>
#include <vector>

namespace server {
namespace {

// Every table written here, each after the tables it refers to: Flush sends
// them in this order.
enum Table : std::size_t {
  kCountry,
  kState,
  kCompany,
  kTax,
  kRegistration,
  kMunicipalRegistration,
  kSubstituteRegistration,
  kBook,
  kFiscalMap,
  kProduct,
  kNote,
  kNoteItem,
  kPrinter,
  kPrinterDay,
  kPrinterTotal,
  kPrinterItem,
  kConsumerNote,
  kConsumerNoteItem,
  kTransportDocument,
  kGnre,
  kInventory,
  kStStock,
  kTableCount
};

struct TableColumns {
  const char* table;
  std::vector<const char*> columns;
};

// The columns of each table, in the order of its row's values below.
const std::array<TableColumns, kTableCount> kTables = {{
    {"PAIS", {"CDPAIS", "NMPAIS"}},
    {"ESTADO", {"CDPAIS", "SGESTADO", "NMESTADO"}},
    {"EMPRESA", {"CDEMPRESA", "NMEMPRESA", "CDSITUCRT"}},
    {"IMPOSTONFE", {"CDIMPOSTONFE", "SGIMPOSTONFE", "IDORGARRECADNFE"}},
    {"INSCRESTAD",
     {"CDEMPRESA", "CDINSCESTA", "NRINSJURIEST", "SGESTADO", "NMMUNICIPIO", "NRFAX", "DSLOGRADOURO",
      "NRLOGRADOURO", "DSCOMPLEMENTO", "NMBAIRRO", "NRCEP", "NMCONTATO", "NRTELEFONE"}},
    {"INSCRMUNICIP", {"CDEMPRESA", "CDINSCMUNI"}},
    {"INSCRSUBST", {"CDEMPRESA", "CDINSCESTA", "CDINSCESTAST", "SGESTADO"}},
    {"LIVROMAG", {"CDLIVROMAG", "NMLIVROMAG"}},
    {"MAPAFISCAL", {"CDEMPRESA", "CDINSCESTA", "NRANOMES", "IDBLOQUEADO"}},
    {"PRODUTO",
     {"CDPRODUTO", "CDNCM", "NMPRODUTO", "SGUNIDADE", "VRALIQIPI", "VRALIQICMS", "VRPERREDBC", "VRBASEST"}},
    {"NOTAFISCAL",
     {"NRSEQNOTA",     "CDEMPRESA",   "CDINSCESTA", "CDLIVROMAG", "IDENTSAI",      "NRCNPJPART", "CDINSCPART",
      "SGESTADOPART",  "DTDOCUMENTO", "CDMODELO",   "CDSERIE",    "NRNOTA",        "IDEMITENTE", "IDSITUACAO",
      "CDANTECIPACAO", "VRFRETE",     "VRSEGURO",   "VRDESPESAS", "DSCHAVEACESSO", "IDARQUIVO"}},
    {"NOTAFISCALITEM",
     {"NRSEQNOTA", "NRITEM", "CDPRODUTO", "CDCFOP", "CDCST", "QTITEM", "VRPRODUTO", "VRDESCONTO",
      "VRBASEICMS", "VRALIQICMS", "VRICMS", "VRISENTAS", "VROUTRAS", "VRBASEST", "VRICMSST", "VRIPI",
      "VRISENTASIPI", "VROUTRASIPI"}},
    {"ECF", {"CDEMPRESA", "CDINSCESTA", "NRSERIEECF", "NRORDEMECF", "CDMODELODOC"}},
    {"ECFREDUCAOZ",
     {"NRSEQREDZ", "CDEMPRESA", "CDINSCESTA", "NRSERIEECF", "DTMOVIMENTO", "NRCOOINICIAL", "NRCOOFINAL",
      "NRCRZ", "NRCRO", "VRVENDABRUTA", "VRGRANDETOTAL", "IDARQUIVO"}},
    {"ECFTOTALIZADOR", {"NRSEQREDZ", "CDTOTALIZADOR", "VRACUMULADO"}},
    {"ECFITEM",
     {"NRSEQREDZ", "NRCOO", "NRITEM", "CDPRODUTO", "QTITEM", "VRITEM", "VRBASEICMS", "CDTOTALIZADOR",
      "VRICMS"}},
    {"NOTACONSUMIDOR",
     {"NRSEQNC", "CDEMPRESA", "CDINSCESTA", "DTEMISSAO", "CDMODELO", "CDSERIE", "CDSUBSERIE", "NRNOTA",
      "VRALIQICMS", "VRTOTAL", "VRBASEICMS", "VRICMS", "VRISENTAS", "VROUTRAS", "DSCHAVEACESSO", "IDSITUACAO",
      "IDARQUIVO"}},
    {"NOTACONSUMIDORITEM", {"NRSEQNC", "NRITEM", "CDPRODUTO", "QTITEM", "VRPRODUTO", "VRBASEICMS"}},
    {"CONHECIMENTO", {"NRSEQCONHEC", "CDEMPRESA",    "CDINSCESTA",  "CDLIVROMAG",   "IDENTSAI", "NRCNPJPART",
                      "CDINSCPART",  "SGESTADOPART", "DTDOCUMENTO", "CDMODELO",     "CDSERIE",  "CDSUBSERIE",
                      "NRCONHEC",    "CDCFOP",       "VRTOTAL",     "VRBASEICMS",   "VRICMS",   "VRISENTAS",
                      "VROUTRAS",    "IDFRETE",      "IDSITUACAO",  "DSCHAVEACESSO"}},
    {"GNRE",
     {"NRSEQGNRE", "CDEMPRESA", "CDINSCESTA", "CDINSCSUBST", "SGESTADOFAV", "DTPAGAMENTO", "CDBANCO",
      "CDAGENCIA", "NRGNRE", "VRGNRE", "DTVENCIMENTO", "NRANOMESREF", "DSCONVENIO"}},
    {"INVENTARIO",
     {"CDEMPRESA", "CDINSCESTA", "DTINVENTARIO", "CDPRODUTO", "IDPOSSE", "NRCNPJPOSS", "CDINSCPOSS",
      "SGESTADOPOSS", "QTPRODUTO", "VRPRODUTO"}},
    {"ESTOQUEST",
     {"CDEMPRESA", "CDINSCESTA", "DTESTOQUE", "CDPRODUTO", "QTPRODUTO", "VRICMSST", "VRICMSPROPRIO"}},
}};

// "INSERT INTO T (A, B) VALUES (:A, :B)": the parameters are the columns' names.
std::string InsertText(const TableColumns& t) {
  std::string columns, values;
  for (const char* c : t.columns) {
    columns += (columns.empty() ? "" : ", ") + std::string(c);
    values += (values.empty() ? ":" : ", :") + std::string(c);
  }
  return std::string("INSERT INTO ") + t.table + " (" + columns + ") VALUES (" + values + ")";
}

std::string N(std::int64_t v) { return std::to_string(v); }

}  // namespace

struct FiscalTables::Impl {
  sql::Session& session;
  std::size_t rows_per_send;
  std::size_t pending = 0;
  std::array<std::unique_ptr<sql::Batch>, kTableCount> batches{};

  void Put(Table table, const sql::Row& values) {
    auto& batch = batches[table];
    // The writer sends the rows itself, in the tables' order: no batch may
    // send a block of its own before the rows it refers to are in.
    if (!batch) batch = session.PrepareBatch(InsertText(kTables[table]), rows_per_send + 1);
    batch->Add(values);
    if (++pending >= rows_per_send) Flush();
  }
  void Flush() {
    for (auto& batch : batches) {
      if (batch) batch->Flush();
    }
    pending = 0;
  }
};

FiscalTables::FiscalTables(sql::Session& session, std::size_t rows_per_send)
    : impl_(new Impl{session, rows_per_send == 0 ? 1 : rows_per_send}) {}
FiscalTables::~FiscalTables() = default;

void FiscalTables::Flush() { impl_->Flush(); }

void FiscalTables::Add(const CountryRow& r) { impl_->Put(kCountry, {r.code, r.name}); }
void FiscalTables::Add(const StateRow& r) { impl_->Put(kState, {r.country, r.uf, r.name}); }
void FiscalTables::Add(const CompanyRow& r) { impl_->Put(kCompany, {r.code, r.name, r.crt}); }
void FiscalTables::Add(const TaxRow& r) { impl_->Put(kTax, {r.code, r.acronym, r.collector}); }
void FiscalTables::Add(const RegistrationRow& r) {
  impl_->Put(kRegistration, {r.company, r.registration, r.cnpj, r.uf, r.city, r.fax, r.street, r.number,
                             r.complement, r.district, r.zip, r.contact, r.phone});
}
void FiscalTables::Add(const MunicipalRegistrationRow& r) {
  impl_->Put(kMunicipalRegistration, {r.company, r.registration});
}
void FiscalTables::Add(const SubstituteRegistrationRow& r) {
  impl_->Put(kSubstituteRegistration, {r.company, r.registration, r.substitute, r.uf});
}
void FiscalTables::Add(const BookRow& r) { impl_->Put(kBook, {r.code, r.name}); }
void FiscalTables::Add(const FiscalMapRow& r) {
  impl_->Put(kFiscalMap, {r.company, r.registration, r.month, r.locked});
}
void FiscalTables::Add(const ProductRow& r) {
  impl_->Put(kProduct, {r.code, r.ncm, r.name, r.unit, N(r.ipi_rate), N(r.icms_rate), N(r.base_reduction),
                        N(r.st_base)});
}
void FiscalTables::Add(const NoteRow& r) {
  impl_->Put(kNote, {N(r.sequence), r.company,      r.registration, r.book,       r.direction,
                     r.party_cnpj,  r.party_ie,     r.party_uf,     r.date,       r.model,
                     r.series,      r.number,       r.issuer,       r.situation,  r.anticipation,
                     N(r.freight),  N(r.insurance), N(r.expenses),  r.access_key, r.from_file});
}
void FiscalTables::Add(const NoteItemRow& r) {
  impl_->Put(kNoteItem, {N(r.sequence), N(r.item), r.product, r.cfop, r.cst, N(r.quantity), N(r.value),
                         N(r.discount), N(r.icms_base), N(r.icms_rate), N(r.icms), N(r.exempt), N(r.other),
                         N(r.st_base), N(r.st_icms), N(r.ipi), N(r.ipi_exempt), N(r.ipi_other)});
}
void FiscalTables::Add(const PrinterRow& r) {
  impl_->Put(kPrinter, {r.company, r.registration, r.serial, N(r.order), r.model});
}
void FiscalTables::Add(const PrinterDayRow& r) {
  impl_->Put(kPrinterDay, {N(r.sequence), r.company, r.registration, r.serial, r.date, N(r.first_coo),
                           N(r.last_coo), N(r.crz), N(r.cro), N(r.gross), N(r.grand_total), r.from_file});
}
void FiscalTables::Add(const PrinterTotalRow& r) {
  impl_->Put(kPrinterTotal, {N(r.day), r.totaliser, N(r.amount)});
}
void FiscalTables::Add(const PrinterItemRow& r) {
  impl_->Put(kPrinterItem, {N(r.day), N(r.coo), N(r.item), r.product, N(r.quantity), N(r.value),
                            N(r.icms_base), r.totaliser, N(r.icms)});
}
void FiscalTables::Add(const ConsumerNoteRow& r) {
  impl_->Put(kConsumerNote, {N(r.sequence), r.company, r.registration, r.date, r.model, r.series, r.subseries,
                             r.number, N(r.rate), N(r.total), N(r.icms_base), N(r.icms), N(r.exempt),
                             N(r.other), r.access_key, r.situation, r.from_file});
}
void FiscalTables::Add(const ConsumerNoteItemRow& r) {
  impl_->Put(kConsumerNoteItem,
             {N(r.sequence), N(r.item), r.product, N(r.quantity), N(r.value), N(r.icms_base)});
}
void FiscalTables::Add(const TransportDocumentRow& r) {
  impl_->Put(kTransportDocument,
             {N(r.sequence), r.company,  r.registration, r.book,         r.direction, r.party_cnpj,
              r.party_ie,    r.party_uf, r.date,         r.model,        r.series,    r.subseries,
              r.number,      r.cfop,     N(r.total),     N(r.icms_base), N(r.icms),   N(r.exempt),
              N(r.other),    r.freight,  r.situation,    r.access_key});
}
void FiscalTables::Add(const GnreRow& r) {
  impl_->Put(kGnre, {N(r.sequence), r.company, r.registration, r.substitute, r.favoured_uf, r.payment_date,
                     r.bank, r.agency, r.number, N(r.amount), r.due_date, r.reference, r.agreement});
}
void FiscalTables::Add(const InventoryRow& r) {
  impl_->Put(kInventory, {r.company, r.registration, r.date, r.product, r.possession, r.holder_cnpj,
                          r.holder_ie, r.holder_uf, N(r.quantity), N(r.value)});
}
void FiscalTables::Add(const StStockRow& r) {
  impl_->Put(kStStock,
             {r.company, r.registration, r.date, r.product, N(r.quantity), N(r.st_icms), N(r.own_icms)});
}

}  // namespace server
