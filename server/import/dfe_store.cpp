#include "server/import/dfe_store.h"

#include "server/import/dfe_rules.h"

#include <cstdio>
#include <map>

#include "lib/layout/document_numbers.h"
#include "server/build/document_rows.h"

namespace server::import {
namespace {

std::string Num(std::int64_t v) { return std::to_string(v); }

// What a document gave, in 16 hexadecimal digits (FNV-1a): the same file, or
// another file with the same values, gives the same digest.
class Digest {
 public:
  Digest& operator<<(const std::string& text) {
    for (char c : text) Mix(static_cast<unsigned char>(c));
    Mix(0x1F);
    return *this;
  }
  Digest& operator<<(std::int64_t v) { return *this << Num(v); }
  Digest& operator<<(char c) { return *this << std::string(1, c); }
  std::string Hex() const {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash_));
    return text;
  }

 private:
  void Mix(unsigned char c) {
    hash_ ^= c;
    hash_ *= 1099511628211ULL;
  }
  std::uint64_t hash_ = 14695981039346656037ULL;
};

std::string DigestOf(const ImportedDocument& d, const std::string& book) {
  Digest h;
  h << static_cast<std::int64_t>(d.table) << d.key << d.model << d.series << d.number << d.date << d.situation
    << d.direction << d.issuer << d.party_cnpj << d.party_ie << d.party_uf << d.freight << d.insurance
    << d.other_charges << d.cfop << d.total << d.icms_base << d.icms << d.exempt << d.other << d.freight_code
    << book;
  for (const ImportedItem& i : d.items) {
    h << static_cast<std::int64_t>(i.number) << i.product << i.description << i.ncm << i.unit << i.cfop
      << i.cst << i.quantity << i.value << i.discount << i.charges << i.icms_base << i.icms_rate << i.icms
      << i.exempt << i.other << i.st_base << i.st << i.ipi << i.ipi_rate << i.reduction;
  }
  return h.Hex();
}

std::optional<std::string> Optional(const std::string& text) {
  return text.empty() ? std::nullopt : std::optional<std::string>(text);
}

}  // namespace

Informant LoadInformant(sql::Session& session, const std::string& company, const std::string& registration) {
  const auto rows = session.Query(
      "SELECT NRINSJURIEST, SGESTADO FROM INSCRESTAD WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE",
      {{"EMP", company}, {"IE", registration}});
  if (rows.rows.empty())
    throw ImportRefused("a empresa " + company + " não tem a inscrição estadual " + registration);
  // A person registered by CPF is known by its 11 digits, however stored.
  return Informant{
      company, registration, layout::CanonicalNumber(Digits(Str(rows.rows[0][0]))), Str(rows.rows[0][1]), {}};
}

struct DfeStore::Statements {
  std::unique_ptr<sql::PreparedQuery> known, cancelled, product, note_number, bill_number, consumer_number,
      consumer_day;
  std::unique_ptr<sql::Batch> remember, forget_items, forget_notes, forget_consumer_items, forget_consumer,
      forget_bills, cancellation, cancel_note, cancel_consumer, cancel_bill;
};

DfeStore::DfeStore(sql::Session& session, Informant informant)
    : session_(session),
      informant_(std::move(informant)),
      tables_(session),
      statements_(std::make_unique<Statements>()) {
  Statements& s = *statements_;
  const std::string own = " CDEMPRESA = :EMP AND CDINSCESTA = :IE AND DSCHAVEACESSO = :CHAVE";
  s.known = session_.Prepare("SELECT DSRESUMO, DTDOCUMENTO FROM DFEDOCUMENTO WHERE" + own);
  s.cancelled = session_.Prepare("SELECT 1 FROM DFECANCELAMENTO WHERE" + own);
  s.product = session_.Prepare("SELECT 1 FROM PRODUTO WHERE CDPRODUTO = :PROD");
  // The same document typed in, or brought by another system's file, would
  // be reported twice: it is looked for by its number (the indexes keep the
  // number without its leading zeros).
  const std::string number =
      " n WHERE n.CDEMPRESA = :EMP AND n.CDINSCESTA = :IE AND n.CDMODELO = :MOD AND n.CDSERIE = :SER AND ";
  const std::string other_key = " AND (n.DSCHAVEACESSO IS NULL OR n.DSCHAVEACESSO <> :CHAVE)";
  // A note is its issuer's (the informant's or the party's), and a
  // transport bill the informant issued is an exit.
  s.note_number = session_.Prepare("SELECT 1 FROM NOTAFISCAL" + number + "LTRIM(n.NRNOTA, '0') = :NR" +
                                   other_key + " AND " + kPartyKey + " = :CNPJ AND n.IDEMITENTE = :EMI");
  s.bill_number = session_.Prepare("SELECT 1 FROM CONHECIMENTO" + number + "LTRIM(n.NRCONHEC, '0') = :NR" +
                                   other_key + " AND " + kPartyKey +
                                   " = :CNPJ AND (CASE WHEN n.IDENTSAI = 'S' THEN 'P' ELSE 'T' END) = :EMI");
  s.consumer_number =
      session_.Prepare("SELECT 1 FROM NOTACONSUMIDOR" + number + "n.NRNOTA = :NR" + other_key);
  // A day that came in another system's file holds its range of numbers.
  s.consumer_day = session_.Prepare(
      "SELECT 1 FROM NOTACONSUMIDOR n WHERE n.CDEMPRESA = :EMP AND n.CDINSCESTA = :IE AND n.DTEMISSAO = :DT"
      " AND n.CDMODELO = :MOD AND n.CDSERIE = :SER AND n.IDARQUIVO = 'S'");
  const auto batch = [&](const std::string& text) { return session_.PrepareBatch(text, 1000); };
  s.remember = batch(
      "INSERT INTO DFEDOCUMENTO (CDEMPRESA, CDINSCESTA, DSCHAVEACESSO, CDMODELO, DTDOCUMENTO, DSRESUMO)"
      " VALUES (:EMP, :IE, :CHAVE, :MOD, :DT, :RESUMO)");
  s.forget_items = batch(
      "DELETE FROM NOTAFISCALITEM WHERE NRSEQNOTA IN (SELECT NRSEQNOTA FROM NOTAFISCAL WHERE" + own + ")");
  s.forget_notes = batch("DELETE FROM NOTAFISCAL WHERE" + own);
  s.forget_consumer_items =
      batch("DELETE FROM NOTACONSUMIDORITEM WHERE NRSEQNC IN (SELECT NRSEQNC FROM NOTACONSUMIDOR WHERE" +
            own + ")");
  s.forget_consumer = batch("DELETE FROM NOTACONSUMIDOR WHERE" + own);
  s.forget_bills = batch("DELETE FROM CONHECIMENTO WHERE" + own);
  s.cancellation = batch(
      "INSERT INTO DFECANCELAMENTO (CDEMPRESA, CDINSCESTA, DSCHAVEACESSO, DTEVENTO, NRPROTOCOLO)"
      " VALUES (:EMP, :IE, :CHAVE, :DT, :PROT)");
  s.cancel_note = batch("UPDATE NOTAFISCAL SET IDSITUACAO = 'S' WHERE" + own);
  s.cancel_consumer = batch("UPDATE NOTACONSUMIDOR SET IDSITUACAO = 'S' WHERE" + own);
  s.cancel_bill = batch("UPDATE CONHECIMENTO SET IDSITUACAO = 'S' WHERE" + own);
}

DfeStore::~DfeStore() = default;

void DfeStore::BeginFile() {
  if (session_.backend() == sql::Backend::PostgreSql)
    session_.Query("SELECT pg_advisory_xact_lock(4204201)", {});
}

void RequireOpenMonth(sql::Session& session, const Informant& informant, const std::string& date) {
  const auto rows = session.Query(
      "SELECT IDBLOQUEADO FROM MAPAFISCAL WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE AND NRANOMES = :MES",
      {{"EMP", informant.company},
       {"IE", informant.registration},
       {"MES", date.substr(0, 4) + date.substr(5, 2)}});
  if (!rows.rows.empty() && Str(rows.rows[0][0]) == "S")
    throw ImportRefused("o mês " + date.substr(5, 2) + "/" + date.substr(0, 4) +
                        " está bloqueado no mapa fiscal da inscrição " + informant.registration +
                        ": desbloqueie-o para importar documentos dele");
}

std::int64_t DfeStore::Next(const char* column, const char* table) {
  const auto rows = session_.Query(std::string("SELECT MAX(") + column + ") FROM " + table, {});
  return rows.rows.empty() ? 1 : Int(rows.rows[0][0]) + 1;
}

Outcome DfeStore::Store(const ImportedDocument& d) {
  RequireWritable(d, informant_);
  Statements& s = *statements_;
  const sql::Row key{informant_.company, informant_.registration, d.key};
  const std::vector<sql::Param> params{
      {"EMP", informant_.company}, {"IE", informant_.registration}, {"CHAVE", d.key}};
  const std::string digest = DigestOf(d, informant_.book);
  std::optional<sql::Row> known;
  s.known->Each(params, [&](const sql::Row& row) { known = row; });
  if (known && Str((*known)[0]) == digest) return Outcome::Unchanged;
  RequireOpenMonth(d.date);
  if (known) {
    RequireOpenMonth(Str((*known)[1]));
    for (auto* forget :
         {&s.forget_items, &s.forget_notes, &s.forget_consumer_items, &s.forget_consumer, &s.forget_bills}) {
      (*forget)->Add(key);
      (*forget)->Flush();
    }
    session_.Execute(
        "DELETE FROM DFEDOCUMENTO WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE AND DSCHAVEACESSO = :CHAVE",
        params);
  }
  RequireNotEnteredElsewhere(d);
  bool cancelled = false;
  s.cancelled->Each(params, [&](const sql::Row&) { cancelled = true; });
  const char situation = cancelled ? 'S' : d.situation;
  EnsureProducts(d);
  switch (d.table) {
    case DocumentTable::Note: InsertNote(d, situation); break;
    case DocumentTable::ConsumerNote: InsertConsumerNote(d, situation); break;
    case DocumentTable::TransportBill: InsertTransportBill(d, situation); break;
  }
  s.remember->Add({informant_.company, informant_.registration, d.key, d.model, d.date, digest});
  s.remember->Flush();
  return known ? Outcome::Updated : Outcome::Imported;
}

void DfeStore::RequireNotEnteredElsewhere(const ImportedDocument& d) {
  Statements& s = *statements_;
  const std::vector<sql::Param> number{{"EMP", informant_.company},
                                       {"IE", informant_.registration},
                                       {"MOD", d.model},
                                       {"SER", d.series},
                                       {"NR", d.number},
                                       {"CHAVE", d.key}};
  std::vector<std::pair<sql::PreparedQuery*, std::vector<sql::Param>>> checks;
  if (d.table == DocumentTable::ConsumerNote) {
    checks.emplace_back(s.consumer_number.get(), number);
    checks.emplace_back(s.consumer_day.get(), std::vector<sql::Param>{{"EMP", informant_.company},
                                                                      {"IE", informant_.registration},
                                                                      {"DT", d.date},
                                                                      {"MOD", d.model},
                                                                      {"SER", d.series}});
  } else {
    std::vector<sql::Param> party = number;
    party.push_back(
        {"CNPJ", std::string(14 - std::min<std::size_t>(14, d.party_cnpj.size()), '0') + d.party_cnpj});
    party.push_back({"EMI", std::string(1, d.issuer)});
    checks.emplace_back(d.table == DocumentTable::Note ? s.note_number.get() : s.bill_number.get(), party);
  }
  for (auto& [query, params] : checks) {
    bool found = false;
    query->Each(params, [&](const sql::Row&) { found = true; });
    if (found)
      throw ImportRefused("o documento modelo " + d.model + " série " + d.series + " número " + d.number +
                          " já está no banco, lançado por outra via (sem esta chave de acesso)");
  }
}

void DfeStore::EnsureProducts(const ImportedDocument& d) {
  Statements& s = *statements_;
  std::vector<std::string> added;
  for (const ImportedItem& i : d.items) {
    bool exists = std::find(added.begin(), added.end(), i.product) != added.end();
    if (!exists) s.product->Each({{"PROD", i.product}}, [&](const sql::Row&) { exists = true; });
    if (exists) continue;
    added.push_back(i.product);
    tables_.Add(ProductRow{.code = i.product,
                           .ncm = Optional(i.ncm),
                           .name = i.description,
                           .unit = i.unit,
                           .ipi_rate = i.ipi_rate,
                           .icms_rate = i.icms_rate,
                           .base_reduction = i.reduction});
  }
  tables_.Flush();
}

void DfeStore::InsertNote(const ImportedDocument& d, char situation) {
  const std::int64_t seq = Next("NRSEQNOTA", "NOTAFISCAL");
  tables_.Add(NoteRow{.sequence = seq,
                      .company = informant_.company,
                      .registration = informant_.registration,
                      .book = Optional(informant_.book),
                      .direction = std::string(1, d.direction),
                      .party_cnpj = d.party_cnpj,
                      .party_ie = d.party_ie,
                      .party_uf = d.party_uf,
                      .date = d.date,
                      .model = d.model,
                      .series = d.series,
                      .number = d.number,
                      .issuer = std::string(1, d.issuer),
                      .situation = std::string(1, situation),
                      .freight = d.freight,
                      .insurance = d.insurance,
                      .expenses = d.other_charges,
                      .access_key = d.key});
  for (const ImportedItem& i : d.items) {
    tables_.Add(NoteItemRow{.sequence = seq,
                            .item = i.number,
                            .product = i.product,
                            .cfop = i.cfop,
                            .cst = i.cst,
                            .quantity = i.quantity,
                            .value = i.value,
                            .discount = i.discount,
                            .icms_base = i.icms_base,
                            .icms_rate = i.icms_rate,
                            .icms = i.icms,
                            .exempt = i.exempt,
                            .other = i.other,
                            .st_base = i.st_base,
                            .st_icms = i.st,
                            .ipi = i.ipi});
  }
  tables_.Flush();
}

void DfeStore::InsertConsumerNote(const ImportedDocument& d, char situation) {
  // The consumer register sums a day's notes by rate: a note with items of
  // several rates is one row per rate, all under its number.
  struct Sums {
    std::int64_t total = 0, base = 0, icms = 0, exempt = 0, other = 0;
    std::vector<const ImportedItem*> items;
  };
  std::map<std::int64_t, Sums> by_rate;
  for (const ImportedItem& i : d.items) {
    Sums& sums = by_rate[i.icms_rate];
    sums.total += i.value - i.discount + i.charges + i.ipi + i.st;
    sums.base += i.icms_base;
    sums.icms += i.icms;
    sums.exempt += i.exempt;
    sums.other += i.other;
    sums.items.push_back(&i);
  }
  std::int64_t seq = Next("NRSEQNC", "NOTACONSUMIDOR");
  for (const auto& [rate, sums] : by_rate) {
    tables_.Add(ConsumerNoteRow{.sequence = seq,
                                .company = informant_.company,
                                .registration = informant_.registration,
                                .date = d.date,
                                .model = d.model,
                                .series = d.series,
                                .number = d.number,
                                .rate = rate,
                                .total = sums.total,
                                .icms_base = sums.base,
                                .icms = sums.icms,
                                .exempt = sums.exempt,
                                .other = sums.other,
                                .access_key = d.key,
                                .situation = std::string(1, situation)});
    for (const ImportedItem* i : sums.items) {
      tables_.Add(ConsumerNoteItemRow{.sequence = seq,
                                      .item = i->number,
                                      .product = i->product,
                                      .quantity = i->quantity,
                                      .value = i->value,
                                      .icms_base = i->icms_base});
    }
    ++seq;
  }
  tables_.Flush();
}

void DfeStore::InsertTransportBill(const ImportedDocument& d, char situation) {
  tables_.Add(TransportDocumentRow{.sequence = Next("NRSEQCONHEC", "CONHECIMENTO"),
                                   .company = informant_.company,
                                   .registration = informant_.registration,
                                   .book = Optional(informant_.book),
                                   .direction = std::string(1, d.direction),
                                   .party_cnpj = d.party_cnpj,
                                   .party_ie = d.party_ie,
                                   .party_uf = d.party_uf,
                                   .date = d.date,
                                   .model = d.model,
                                   .series = d.series,
                                   .number = d.number,
                                   .cfop = d.cfop,
                                   .total = d.total,
                                   .icms_base = d.icms_base,
                                   .icms = d.icms,
                                   .exempt = d.exempt,
                                   .other = d.other,
                                   .freight = std::string(1, d.freight_code),
                                   .situation = std::string(1, situation),
                                   .access_key = d.key});
  tables_.Flush();
}

Outcome DfeStore::Cancel(const Cancellation& c) {
  Statements& s = *statements_;
  const std::vector<sql::Param> params{
      {"EMP", informant_.company}, {"IE", informant_.registration}, {"CHAVE", c.key}};
  bool recorded = false;
  s.cancelled->Each(params, [&](const sql::Row&) { recorded = true; });
  if (recorded) return Outcome::Unchanged;
  std::optional<std::string> date;
  s.known->Each(params, [&](const sql::Row& row) { date = Str(row[1]); });
  if (!date && c.author_cnpj != informant_.cnpj)
    throw ImportRefused("o cancelamento da chave " + c.key + " é de um documento de outro emitente (CNPJ " +
                        c.author_cnpj + ") que não foi importado para a empresa " + informant_.company +
                        ": importe o documento com ele");
  if (date) RequireOpenMonth(*date);
  const sql::Row key{informant_.company, informant_.registration, c.key};
  s.cancellation->Add({informant_.company, informant_.registration, c.key, c.date, Optional(c.protocol)});
  s.cancellation->Flush();
  for (auto* cancel : {&s.cancel_note, &s.cancel_consumer, &s.cancel_bill}) {
    (*cancel)->Add(key);
    (*cancel)->Flush();
  }
  return Outcome::Imported;
}

}  // namespace server::import
