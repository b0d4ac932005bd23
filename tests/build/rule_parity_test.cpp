// What the import refuses, the export refuses, by the same rule and in the
// same words: each document below breaks one rule. Brought in as an
// authorised NF-e, the import refuses it; written straight into the tables,
// the export refuses the month's file naming it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "server/db/schema.h"
#include "server/demo/demo_data.h"
#include "server/import/dfe_store.h"
#include "server/import/import_run.h"
#include "server/store/fiscal_tables.h"
#include "tests/support/in_process_file.h"

namespace {

const std::string kRegistration = "244005621111";

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void Replace(std::string& text, const std::string& from, const std::string& to) {
  for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

// A sale of the Campinas branch to the party of the case.
struct Party {
  const char* xml_number;  // "<CNPJ>…</CNPJ>" or "<CPF>…</CPF>"
  const char* number;      // as the tables keep it
  const char* ie;          // empty: none
  const char* uf;
  const char* cfop;
  const char* item = "1";  // the first item's number
};

struct Case {
  const char* rule;
  Party party;
  const char* says;  // how the refusal begins
};

const Case kCases[] = {
    {"party CNPJ with wrong check digits",
     {"<CNPJ>55666777000182</CNPJ>", "55666777000182", "115566770891", "SP", "5102"},
     "o CNPJ/CPF da outra parte, '55666777000182', não é válido"},
    {"party CPF with wrong check digits",
     {"<CPF>12345678900</CPF>", "12345678900", "", "SP", "5102"},
     "o CNPJ/CPF da outra parte, '12345678900', não é válido"},
    {"party IE with wrong check digits for its state",
     {"<CNPJ>55666777000181</CNPJ>", "55666777000181", "062345678002", "MG", "6102"},
     "a inscrição estadual da outra parte, '062345678002', não é válida em MG"},
    {"CFOP against the party's state",
     {"<CNPJ>55666777000181</CNPJ>", "55666777000181", "0623456780027", "MG", "5102"},
     "o CFOP 5102 não condiz com uma saída com outro estado (MG): deve começar por 6"},
    {"no state",
     {"<CNPJ>55666777000181</CNPJ>", "55666777000181", "", "XX", "6102"},
     "a UF da outra parte, 'XX'"},
};

class RuleParity : public ::testing::Test {
 protected:
  void SetUp() override {
    database_ = BuilderTestDatabase("parity");
    session_ = sql::OpenSession(database_);
    server::Migrate(*session_);
    server::LoadDemoData(*session_);
    session_->Execute("INSERT INTO MAPAFISCAL VALUES ('01', '" + kRegistration + "', '202604', 'S')");
    dir_ = std::filesystem::temp_directory_path() / ("mag_parity_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    session_.reset();
    if (database_ != "sqlite::memory:") DropTestDatabase(database_);
    std::filesystem::remove_all(dir_);
  }

  // The import's words for the NF-e of `party`, empty when it was brought in.
  std::string Import(const Party& party) {
    std::string xml = Read(std::string(MAG_TEST_DATA) + "/import/nfe-saida-dois-itens-frete.xml");
    Replace(xml, "<CNPJ>55666777000181</CNPJ>", party.xml_number);
    Replace(xml, "<UF>SP</UF><CEP>13015000", std::string("<UF>") + party.uf + "</UF><CEP>13015000");
    Replace(xml, "<IE>115566770891</IE>", *party.ie ? std::string("<IE>") + party.ie + "</IE>" : "");
    Replace(xml, "<CFOP>5102</CFOP>", std::string("<CFOP>") + party.cfop + "</CFOP>");
    Replace(xml, "<det nItem=\"1\">", std::string("<det nItem=\"") + party.item + "\">");
    const std::string path = (dir_ / "nfe.xml").string();
    std::ofstream(path, std::ios::binary) << xml;

    server::import::DfeStore store(*session_, server::import::LoadInformant(*session_, "01", kRegistration));
    std::string refused;
    server::import::ImportOutput output;
    output.note = [&](const std::string& line) { refused = line; };
    const auto summary = server::import::ImportDocuments(*session_, store, {path}, output);
    if (summary.refused == 0) return {};
    const std::string prefix = "recusado: " + path + ": ";
    EXPECT_EQ(refused.rfind(prefix, 0), 0u) << refused;
    return refused.substr(prefix.size());
  }

  // The status of April's file with the same document written straight into the tables.
  std::string Export(const Party& party) {
    server::FiscalTables tables(*session_);
    server::NoteRow note;
    note.sequence = 9000;
    note.company = "01";
    note.registration = kRegistration;
    note.direction = "S";
    note.party_cnpj = party.number;
    note.party_ie = *party.ie ? party.ie : "ISENTO";
    note.party_uf = party.uf;
    note.date = "2026-04-06";
    note.model = "55";
    note.series = "1";
    note.number = "101";
    note.issuer = "P";
    note.situation = "N";
    tables.Add(note);
    server::NoteItemRow item;
    item.sequence = 9000;
    item.item = std::stoll(party.item);
    item.product = "ARROZ5KG";
    item.cfop = party.cfop;
    item.cst = "000";
    item.quantity = 10000;
    item.value = 25000;
    tables.Add(item);
    tables.Flush();
    RegistroArgs a;
    a.registration = kRegistration;
    a.first_day = wire::EncodeDate(2026, 4, 1);
    a.last_day = wire::EncodeDate(2026, 4, 30);
    const std::string status = BuildInProcess(*session_, a).status;
    session_->Execute("DELETE FROM NOTAFISCALITEM WHERE NRSEQNOTA = 9000");
    session_->Execute("DELETE FROM NOTAFISCAL WHERE NRSEQNOTA = 9000");
    return status;
  }

  std::string database_;
  std::unique_ptr<sql::Session> session_;
  std::filesystem::path dir_;
};

TEST_F(RuleParity, WhatTheImportRefusesTheExportRefusesInTheSameWords) {
  for (const Case& c : kCases) {
    const std::string imported = Import(c.party);
    EXPECT_EQ(imported.rfind(c.says, 0), 0u) << c.rule << ": the import said '" << imported << "'";
    const std::string exported = Export(c.party);
    EXPECT_NE(exported.find(": " + imported + "."), std::string::npos)
        << c.rule << ": the import said '" << imported << "', the export '" << exported << "'";
  }
  // The same sale to a valid party passes both doors.
  const Party valid{"<CNPJ>55666777000181</CNPJ>", "55666777000181", "0623456780027", "MG", "6102"};
  EXPECT_EQ(Export(valid), "OK");
  session_->Execute("UPDATE MAPAFISCAL SET IDBLOQUEADO = 'N' WHERE NRANOMES = '202604'");  // open to imports
  EXPECT_EQ(Import(valid), "");
}

}  // namespace
