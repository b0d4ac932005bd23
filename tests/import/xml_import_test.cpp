// Authorised NF-e, NFC-e and CT-e files brought in with `mag-server import`,
// then exported through the screen: the fixtures in tests/data/import are a
// month of company 01's branch in Campinas (April 2026), and every line of
// the file is worked out by hand from them.
#include <gtest/gtest.h>

#include <unistd.h>
#include <zip.h>

#include <thread>

#include "lib/layout/layout_check.h"
#include "server/import/decimal_text.h"
#include "server/import/dfe_rules.h"
#include "server/import/xml_text.h"
#include "tests/import/import_support.h"
#include "tests/support/export_command.h"
#include "tests/support/server_process.h"

namespace {

const std::string kRegistration = "244005621111";
const std::string kCustomer = "55666777000181", kCustomerIe = "115566770891";
const std::string kSupplier = "77888999000181", kSupplierIe = "0623456780027";
const std::string kCarrier = "88999000000198", kCarrierIe = "9012345663";

std::string Pad(const std::string& text, std::size_t width) {
  return text + std::string(width - text.size(), ' ');
}
std::string Z(long long value, int width) {
  std::string digits = std::to_string(value);
  return std::string(width - digits.size(), '0') + digits;
}

class XmlImport : public ::testing::Test {
 protected:
  void SetUp() override {
    database_ = TestDatabase("import");
    PrepareDatabase(database_, {"--init-demo"});
    scratch_ = std::filesystem::temp_directory_path() / ("mag_import_" + std::to_string(getpid()));
    std::filesystem::remove_all(scratch_);
    std::filesystem::create_directories(scratch_);
  }
  void TearDown() override {
    DropTestDatabase(database_);
    std::filesystem::remove_all(scratch_);
  }
  CommandRun Import(const std::string& paths, const std::string& extra = "") const {
    return RunCommand(std::string(MAG_SERVER_PATH) + " import --database '" + database_ +
                      "' --company 01 --registration " + kRegistration + " " + extra + " " + paths);
  }
  void Execute(const std::string& statement) const { sql::OpenSession(database_)->Execute(statement); }
  // The April file of the branch, through mag-export against a real server.
  std::vector<std::string> ExportApril() const {
    Execute("INSERT INTO MAPAFISCAL VALUES ('01', '" + kRegistration + "', '202604', 'S')");
    ServerProcess server(database_, {"--output-dir", scratch_.string()});
    const CommandRun run =
        RunCommand(std::string(MAG_EXPORT_PATH) +
                   " --settings /dev/null --server 127.0.0.1:" + std::to_string(server.port()) +
                   " --database '" + database_ + "' --empresa 01 --imposto 01 --inscricao " + kRegistration +
                   " --de 04/2026 --ate 04/2026 --versao 3 --finalidade 1 --nome abril.txt");
    EXPECT_EQ(run.status, 0) << run.output;
    const std::string file = (scratch_ / "abril.txt").string();
    const layout::Report report = layout::CheckFile(file);
    EXPECT_TRUE(report.ok()) << layout::Describe(report);
    std::vector<std::string> lines;
    std::istringstream in(ReadText(file));
    for (std::string line; std::getline(in, line);) lines.push_back(line.substr(0, line.size() - 1));
    return lines;
  }
  std::string database_;
  std::filesystem::path scratch_;
};

TEST_F(XmlImport, AMonthOfDocumentsGivesTheFileWorkedOutByHand) {
  const CommandRun run = Import(Fixture(""));
  EXPECT_EQ(run.status, 1) << run.output;  // two files refused
  EXPECT_NE(run.output.find("recusado: " + Fixture("malformado.xml") + ": XML malformado"), std::string::npos)
      << run.output;
  EXPECT_NE(
      run.output.find("recusado: " + Fixture("outra-empresa.xml") +
                      ": o documento não é da empresa 01 (CNPJ 11222333000262): emitente 66777888000181, "
                      "destinatário 55666777000181"),
      std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("ignorado: " + Fixture("carta-de-correcao-nfe-101.xml") + ": o evento 110110"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("arquivos: 9\nimportados: 5\natualizados: 0\ncancelados: 1\nignorados: 1 (0 já "
                            "importados sem mudança, 1 eventos que não mudam o arquivo)\nrecusados: 2\n"),
            std::string::npos)
      << run.output;

  const std::vector<std::string> lines = ExportApril();
  ASSERT_EQ(lines.size(), 18u);
  const std::string zero13 = Z(0, 13);
  const std::vector<std::string> expected = {
      // The exit of two items: its freight (10.00 + 5.00) goes into the total.
      "50" + kCustomer + Pad(kCustomerIe, 14) + "20260406SP551  0001015102P" + Z(36000, 13) + Z(36000, 13) +
          Z(6480, 13) + zero13 + zero13 + "1800N",
      // The exit cancelled by its event: its numbers, no values.
      "50" + kCustomer + Pad(kCustomerIe, 14) + "20260407SP551  0001025102P" + zero13 + zero13 + zero13 +
          zero13 + zero13 + "1800S",
      // The entry from Minas Gerais: dated when the goods came in, its CFOP
      // turned to the entry's (6403 → 2403), the ST it carried in "outras".
      "50" + kSupplier + Pad(kSupplierIe, 14) + "20260409MG552  0050012403T" + Z(78516, 13) + Z(69360, 13) +
          Z(8323, 13) + zero13 + Z(9156, 13) + "1200N",
      "53" + kSupplier + Pad(kSupplierIe, 14) + "20260409MG552  0050012403T" + Z(97104, 13) + Z(9156, 13) +
          zero13 + "N" + " " + std::string(29, ' '),
      "54" + kCustomer + "551  0001015102000001" + Pad("ARROZ5KG", 14) + Z(10000, 11) + Z(25000, 12) +
          Z(0, 12) + Z(26000, 12) + Z(0, 12) + Z(0, 12) + "1800",
      "54" + kCustomer + "551  0001015102000002" + Pad("CAFE1KG-ESP", 14) + Z(2500, 11) + Z(10000, 12) +
          Z(500, 12) + Z(10000, 12) + Z(0, 12) + Z(0, 12) + "1800",
      "54" + kCustomer + "551  0001015102   991" + std::string(14, ' ') + Z(0, 11) + Z(0, 12) + Z(1500, 12) +
          Z(0, 12) + Z(0, 12) + Z(0, 12) + "0000",
      "54" + kCustomer + "551  0001025102000001" + Pad("ARROZ5KG", 14) + Z(0, 11) + Z(0, 12) + Z(0, 12) +
          Z(0, 12) + Z(0, 12) + Z(0, 12) + "0000",
      "54" + kSupplier + "552  0050012403010001" + Pad("CERVEJA350", 14) + Z(240000, 11) + Z(69360, 12) +
          Z(0, 12) + Z(69360, 12) + Z(97104, 12) + Z(0, 12) + "1200",
      // The NFC-e: one line per rate, the beer under ST (CST 60) in "outras".
      "61" + std::string(28, ' ') + "20260410651    002001002001" + Z(2100, 13) + zero13 + Z(0, 12) + zero13 +
          Z(2100, 13) + "0000 ",
      "61" + std::string(28, ' ') + "20260410651    002001002001" + Z(2550, 13) + Z(2550, 13) + Z(179, 12) +
          zero13 + zero13 + "0700 ",
      // The CT-e taken from the carrier, paid by the recipient (FOB).
      "70" + kCarrier + Pad(kCarrierIe, 14) + "20260409PR571  0070012353" + Z(30000, 13) + Z(30000, 14) +
          Z(3600, 14) + Z(0, 14) + Z(0, 14) + "2N",
      // The products the items cite: the demo's, and the one the exit
      // created, its description cut to the 53 positions.
      "752026040120260430" + Pad("ARROZ5KG", 14) + "10063021" +
          Pad("Arroz agulhinha tipo 1 - pacote 5 kg", 53) + Pad("pc", 6) + "00000" + "0700" + "00000" +
          Z(0, 13),
      "752026040120260430" + Pad("CAFE1KG-ESP", 14) + "09012100" +
          "Cafe especial em graos torrados, embalagem a vacuo de" + Pad("kg", 6) + "00000" + "1800" +
          "00000" + Z(0, 13),
      "752026040120260430" + Pad("CERVEJA350", 14) + "22030000" + Pad("Cerveja lata 350 ml", 53) +
          Pad("un", 6) + "00600" + "1800" + "00000" + Z(450, 13)};
  // 10, 11 and 90 are the branch's and the counts'; the checker read them.
  const std::vector<std::string> body(lines.begin() + 2, lines.end() - 1);
  ASSERT_EQ(body.size(), expected.size());
  for (std::size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(body[k], expected[k]) << "line " << k + 3;
}

TEST_F(XmlImport, ImportingTheSameFilesTwiceChangesNothingAndAChangedDocumentReplacesItsRows) {
  ASSERT_EQ(Import(Fixture("")).status, 1);
  const std::string first = Snapshot(database_);
  const CommandRun again = Import(Fixture(""));
  EXPECT_NE(again.output.find("importados: 0\natualizados: 0\ncancelados: 0\nignorados: 7 (6 já importados"),
            std::string::npos)
      << again.output;
  EXPECT_EQ(Snapshot(database_), first);

  // The same key with another emission date: its rows are replaced, not doubled.
  std::string exit = ReadText(Fixture("nfe-saida-dois-itens-frete.xml"));
  exit.replace(exit.find("2026-04-06T10:00:00"), 10, "2026-04-16");
  WriteText((scratch_ / "corrigida.xml").string(), exit);
  const CommandRun changed = Import((scratch_ / "corrigida.xml").string());
  EXPECT_EQ(changed.status, 0) << changed.output;
  EXPECT_NE(changed.output.find("importados: 0\natualizados: 1\n"), std::string::npos) << changed.output;
  const auto rows = sql::OpenSession(database_)->Query(
      "SELECT n.DTDOCUMENTO, COUNT(*) FROM NOTAFISCAL n JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA"
      " WHERE n.NRNOTA = '101' AND n.CDINSCESTA = '" +
          kRegistration + "' GROUP BY n.DTDOCUMENTO",
      {});
  ASSERT_EQ(rows.rows.size(), 1u);
  EXPECT_EQ(*rows.rows[0][0], "2026-04-16");
  EXPECT_EQ(*rows.rows[0][1], "2");
}

TEST_F(XmlImport, AZipArchiveIsReadEntryByEntry) {
  const std::string archive = (scratch_ / "abril.zip").string();
  int error = 0;
  zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  ASSERT_NE(zip, nullptr);
  for (const char* name : {"nfe-saida-dois-itens-frete.xml", "cte.xml", "malformado.xml"}) {
    zip_source_t* source = zip_source_file(zip, Fixture(name).c_str(), 0, -1);
    ASSERT_GE(zip_file_add(zip, (std::string("abril/") + name).c_str(), source, ZIP_FL_OVERWRITE), 0);
  }
  // Only the XML entries are documents.
  ASSERT_GE(zip_file_add(zip, "abril/leia-me.txt", zip_source_buffer(zip, "notas de abril", 14, 0), 0), 0);
  ASSERT_EQ(zip_close(zip), 0);
  const CommandRun run = Import(archive);
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("recusado: " + archive + ":abril/malformado.xml: XML malformado"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("arquivos: 3\nimportados: 2\n"), std::string::npos) << run.output;
}

TEST_F(XmlImport, ACancellationCancelsTheNoteWhetherItComesAfterOrBefore) {
  const auto situation = [&](const std::string& number) {
    const auto rows =
        sql::OpenSession(database_)->Query("SELECT IDSITUACAO FROM NOTAFISCAL WHERE CDINSCESTA = '" +
                                               kRegistration + "' AND NRNOTA = '" + number + "'",
                                           {});
    return rows.rows.empty() ? std::string("none") : rows.rows[0][0].value_or("");
  };
  ASSERT_EQ(Import(Fixture("nfe-saida-cancelada.xml")).status, 0);
  EXPECT_EQ(situation("102"), "N");
  const CommandRun cancel = Import(Fixture("cancelamento-nfe-102.xml"));
  EXPECT_EQ(cancel.status, 0) << cancel.output;
  EXPECT_NE(cancel.output.find("cancelados: 1\n"), std::string::npos) << cancel.output;
  EXPECT_EQ(situation("102"), "S");
  EXPECT_NE(Import(Fixture("cancelamento-nfe-102.xml")).output.find("cancelados: 0\nignorados: 1 (1 já"),
            std::string::npos);

  // The informant's own cancellation may come first: the note arrives cancelled.
  std::string exit = ReadText(Fixture("nfe-saida-dois-itens-frete.xml"));
  std::string event = ReadText(Fixture("cancelamento-nfe-102.xml"));
  const std::string key_102 = "35260411222333000262550010000001021102030412";
  const std::string key_101 = "35260411222333000262550010000001011102030407";
  for (std::size_t at; (at = event.find(key_102)) != std::string::npos;) event.replace(at, 44, key_101);
  WriteText((scratch_ / "cancelamento-101.xml").string(), event);
  ASSERT_EQ(Import((scratch_ / "cancelamento-101.xml").string()).status, 0);
  EXPECT_EQ(situation("101"), "none");
  ASSERT_EQ(Import(Fixture("nfe-saida-dois-itens-frete.xml")).status, 0);
  EXPECT_EQ(situation("101"), "S");

  // Another issuer's cancellation names no document of the informant's.
  const std::string supplier_key = "31260477888999000181550020000050011556677882";
  for (std::size_t at; (at = event.find(key_101)) != std::string::npos;) event.replace(at, 44, supplier_key);
  event.replace(event.find("<CNPJ>11222333000262"), 20, "<CNPJ>" + kSupplier);
  WriteText((scratch_ / "cancelamento-fornecedor.xml").string(), event);
  const CommandRun foreign = Import((scratch_ / "cancelamento-fornecedor.xml").string());
  EXPECT_EQ(foreign.status, 1);
  EXPECT_NE(foreign.output.find("é de um documento de outro emitente (CNPJ " + kSupplier + ")"),
            std::string::npos)
      << foreign.output;
}

TEST_F(XmlImport, ARefusedFileChangesNothingAndSaysWhy) {
  struct Case {
    const char* name;
    std::string from, to, reason;
  };
  const std::string exit = ReadText(Fixture("nfe-saida-dois-itens-frete.xml"));
  const std::string bare = exit.substr(exit.find("<NFe>"), exit.find("</NFe>") + 6 - exit.find("<NFe>"));
  const std::vector<Case> cases = {
      {"older-layout", "versao=\"4.00\"", "versao=\"3.10\"", "só a versão 4.00 é importada"},
      {"without-protocol", exit, bare, "sem o protocolo de autorização"},
      {"test-environment", "<tpAmb>1</tpAmb>", "<tpAmb>2</tpAmb>", "ambiente de homologação"},
      {"rejected", "<cStat>100</cStat>", "<cStat>204</cStat>", "não foi autorizado (cStat 204"},
      {"other-registration", "<IE>244005621111</IE>", "<IE>244005621112</IE>",
       "é da inscrição estadual 244005621112 (emitente)"},
      {"total-not-the-sum", "<vNF>360.00</vNF>", "<vNF>370.00</vNF>", "o total da nota (vNF 37000 centavos)"},
      {"long-product-code", "<cProd>ARROZ5KG</cProd>", "<cProd>ARROZ5KG-TIPO1-PCT</cProd>",
       "o item 1: o código do produto 'ARROZ5KG-TIPO1-PCT' tem 18 caracteres"},
      {"comma-decimal", "<qCom>10.0000</qCom>", "<qCom>10,0000</qCom>",
       "o item 1: qCom: '10,0000' não é um número"},
      {"repeated-item", "<det nItem=\"2\">", "<det nItem=\"1\">", "o item 1 aparece duas vezes"},
  };
  const std::string before = Snapshot(database_);
  for (const Case& c : cases) {
    std::string text = exit;
    for (std::size_t at = 0; (at = text.find(c.from, at)) != std::string::npos; at += c.to.size())
      text.replace(at, c.from.size(), c.to);
    const std::string path = (scratch_ / (std::string(c.name) + ".xml")).string();
    WriteText(path, text);
    const CommandRun run = Import(path);
    EXPECT_EQ(run.status, 1) << c.name << ": " << run.output;
    EXPECT_NE(run.output.find("recusado: " + path + ": "), std::string::npos) << c.name << ": " << run.output;
    EXPECT_NE(run.output.find(c.reason), std::string::npos) << c.name << ": " << run.output;
  }
  EXPECT_EQ(Snapshot(database_), before);

  // A month locked in the fiscal map takes no more documents.
  Execute("INSERT INTO MAPAFISCAL VALUES ('01', '" + kRegistration + "', '202604', 'S')");
  const CommandRun locked = Import(Fixture("nfe-saida-dois-itens-frete.xml"));
  EXPECT_EQ(locked.status, 1);
  EXPECT_NE(locked.output.find("o mês 04/2026 está bloqueado no mapa fiscal da inscrição 244005621111"),
            std::string::npos)
      << locked.output;
  EXPECT_EQ(Snapshot(database_), before);

  // The same note typed in before, without its key, is not entered twice.
  Execute(
      "DELETE FROM MAPAFISCAL WHERE NRANOMES = '202604';"
      " INSERT INTO NOTAFISCAL (NRSEQNOTA, CDEMPRESA, CDINSCESTA, IDENTSAI, NRCNPJPART, CDINSCPART,"
      " SGESTADOPART, DTDOCUMENTO, CDMODELO, CDSERIE, NRNOTA, IDEMITENTE, IDSITUACAO) VALUES (9000, '01', '" +
      kRegistration + "', 'S', '" + kCustomer + "', '" + kCustomerIe +
      "', 'SP', '2026-04-06', '55', '1', '000101', 'P', 'N')");
  // The party's own note of that number, received by the company, is another document.
  Execute(
      "INSERT INTO NOTAFISCAL (NRSEQNOTA, CDEMPRESA, CDINSCESTA, IDENTSAI, NRCNPJPART, CDINSCPART,"
      " SGESTADOPART, DTDOCUMENTO, CDMODELO, CDSERIE, NRNOTA, IDEMITENTE, IDSITUACAO) VALUES (9001, '01', '" +
      kRegistration + "', 'E', '" + kCustomer + "', '" + kCustomerIe +
      "', 'SP', '2026-04-02', '55', '1', '101', 'T', 'N')");
  const std::string typed = Snapshot(database_);
  const CommandRun twice = Import(Fixture("nfe-saida-dois-itens-frete.xml"));
  EXPECT_EQ(twice.status, 1);
  EXPECT_NE(
      twice.output.find("o documento modelo 55 série 1 número 101 já está no banco, lançado por outra via"),
      std::string::npos)
      << twice.output;
  EXPECT_EQ(Snapshot(database_), typed);
  Execute("DELETE FROM NOTAFISCAL WHERE NRSEQNOTA = 9000");
  const CommandRun own = Import(Fixture("nfe-saida-dois-itens-frete.xml"));
  EXPECT_EQ(own.status, 0) << own.output;
}

TEST_F(XmlImport, ADatabaseFailureInTheMiddleOfAFileLeavesNothingOfItAndStopsTheRun) {
  // The new product goes in before the note's items; the second item fails.
  if (database_.rfind("sqlite:", 0) == 0) {
    Execute(
        "CREATE TRIGGER FALHA BEFORE INSERT ON NOTAFISCALITEM WHEN NEW.NRITEM = 2"
        " BEGIN SELECT RAISE(ABORT, 'disco cheio'); END");
  } else {
    Execute(
        "CREATE FUNCTION FALHA() RETURNS TRIGGER AS $$ BEGIN IF NEW.NRITEM = 2 THEN"
        " RAISE EXCEPTION 'disco cheio'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql;"
        " CREATE TRIGGER FALHA BEFORE INSERT ON NOTAFISCALITEM FOR EACH ROW EXECUTE FUNCTION FALHA()");
  }
  const std::string before = Snapshot(database_);
  const std::string log = (scratch_ / "import.log").string();
  const CommandRun run =
      Import(Fixture("nfe-saida-dois-itens-frete.xml") + " " + Fixture("cte.xml"), "--log " + log);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("a importação parou por um erro do banco de dados em " +
                            Fixture("nfe-saida-dois-itens-frete.xml") + ": "),
            std::string::npos)
      << run.output;
  // The user reads the database's reason; the statement goes to the log.
  EXPECT_NE(run.output.find("disco cheio; os arquivos seguintes não foram lidos\ndetalhes em " + log),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("INSERT"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("::"), std::string::npos) << run.output;
  EXPECT_NE(ReadText(log).find("disco cheio"), std::string::npos);
  if (database_.rfind("sqlite:", 0) == 0) {
    EXPECT_NE(ReadText(log).find("INSERT INTO NOTAFISCALITEM"), std::string::npos);
  }
  EXPECT_NE(run.output.find("arquivos: 1\n"), std::string::npos) << run.output;  // the CT-e was not read
  EXPECT_EQ(Snapshot(database_), before);
}

// One fixture per shape real folders hold, copied beside two links back up
// to their own directory.
TEST_F(XmlImport, EveryShapeIsImportedCancelledConvertedOrRefused) {
  const auto folder = scratch_ / "shapes";
  std::filesystem::copy(std::string(MAG_TEST_DATA) + "/import-shapes", folder);
  std::filesystem::create_directory_symlink(".", folder / "a");
  std::filesystem::create_directory_symlink(".", folder / "b");
  const CommandRun run = Import(folder.string());
  EXPECT_EQ(run.status, 1) << run.output;  // the invalid UTF-8
  EXPECT_NE(
      run.output.find("recusado: " + (folder / "nfe-utf8-invalido.xml").string() +
                      ": o byte 0xE9 na posição 1841 não é UTF-8 válido (o arquivo se declara UTF-8)\n"),
      std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("arquivos: 12\nimportados: 8\natualizados: 0\ncancelados: 5\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("recusados: 1\nitens de serviço (ISSQN) deixados de fora: 1\n"
                            "pasta já lida, não lida de novo: " +
                            (folder / "a").string() +
                            "\npasta já lida, não lida de novo: " + (folder / "b").string() + "\n"),
            std::string::npos)
      << run.output;

  auto db = sql::OpenSession(database_);
  const auto situation = [&](const std::string& query) {
    const auto rows = db->Query(query + " AND CDINSCESTA = '" + kRegistration + "'", {}).rows;
    return rows.size() == 1 ? rows[0][0].value_or("NULL") : std::to_string(rows.size()) + " rows";
  };
  // Cancelled: by the answer appended to it, by the older wrappers (met
  // before their documents), by 110112, and by its own protocol.
  EXPECT_EQ(situation("SELECT IDSITUACAO FROM NOTAFISCAL WHERE NRNOTA = '202'"), "S");
  EXPECT_EQ(situation("SELECT IDSITUACAO FROM NOTAFISCAL WHERE NRNOTA = '203'"), "S");
  EXPECT_EQ(situation("SELECT MAX(IDSITUACAO) FROM NOTACONSUMIDOR WHERE NRNOTA = '2002'"), "S");
  EXPECT_EQ(situation("SELECT IDSITUACAO FROM CONHECIMENTO WHERE NRCONHEC = '7002'"), "S");
  EXPECT_EQ(situation("SELECT IDSITUACAO FROM CONHECIMENTO WHERE NRCONHEC = '7001'"), "S");
  // The byte-order mark read, the note of goods and a service kept with its goods.
  EXPECT_EQ(situation("SELECT IDSITUACAO FROM NOTAFISCAL WHERE NRNOTA = '205'"), "N");
  EXPECT_EQ(situation("SELECT COUNT(*) FROM NOTAFISCALITEM i JOIN NOTAFISCAL n ON n.NRSEQNOTA = i.NRSEQNOTA"
                      " WHERE n.NRNOTA = '201'"),
            "2");
  // The Latin-1 text turned into UTF-8.
  EXPECT_EQ(db->Query("SELECT NMPRODUTO FROM PRODUTO WHERE CDPRODUTO = 'CAFE-LATIN1'", {}).rows.at(0).at(0),
            "Café especial em grãos torrados, embalagem a vácuo de");  // the 53 characters the file keeps
  db.reset();

  const std::vector<std::string> lines = ExportApril();  // clean under the checker
  const auto starts = [&](const std::string& prefix) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  };
  // The note of goods and a service: its goods' values, two items and the freight.
  const std::string goods = "50" + kCustomer + Pad(kCustomerIe, 14) + "20260406SP551  000201";
  EXPECT_EQ(starts(goods + "5102P" + Z(36000, 13)), 1);
  EXPECT_EQ(starts("54" + kCustomer + "551  000201"), 3);
}

// `count` exits of the branch, each its own key and number, in `dir`.
void WriteNotes(const std::filesystem::path& dir, int count) {
  std::filesystem::create_directories(dir);
  const std::string xml = ReadText(Fixture("nfe-saida-dois-itens-frete.xml"));
  const std::string key = "35260411222333000262550010000001011102030407";
  for (int k = 0; k < count; ++k) {
    const std::string number = "000" + std::to_string(300000 + k);
    std::string note = xml;
    const std::string own = key.substr(0, 25) + number + key.substr(34);
    for (auto at = note.find(key); at != std::string::npos; at = note.find(key, at))
      note.replace(at, key.size(), own);
    note.replace(note.find("<nNF>101</nNF>"), 14, "<nNF>" + std::to_string(300000 + k) + "</nNF>");
    WriteText((dir / (number + ".xml")).string(), note);
  }
}

// Two users bring the same folder in at once: each waits its turn, and
// every document is in the tables once.
TEST_F(XmlImport, TwoImportsOfOneFolderTogetherEndWithEachDocumentOnce) {
  const auto folder = scratch_ / "together";
  WriteNotes(folder, 150);
  const std::string command = std::string(MAG_SERVER_PATH) + " import --database '" + database_ +
                              "' --company 01 --registration " + kRegistration + " " + folder.string();
  CommandRun first, second;
  std::thread other([&] { second = RunCommand(command); });
  first = RunCommand(command);
  other.join();
  EXPECT_EQ(first.status, 0) << first.output;
  EXPECT_EQ(second.status, 0) << second.output;
  auto db = sql::OpenSession(database_);
  const auto count = [&](const std::string& query) {
    return db->Query(query, {}).rows.at(0).at(0).value_or("");
  };
  const std::string ours = " CAST(n.NRNOTA AS INTEGER) BETWEEN 300000 AND 300149";
  EXPECT_EQ(count("SELECT COUNT(*) FROM NOTAFISCAL n WHERE" + ours), "150");
  EXPECT_EQ(count("SELECT COUNT(DISTINCT DSCHAVEACESSO) FROM NOTAFISCAL n WHERE" + ours), "150");
  EXPECT_EQ(
      count("SELECT COUNT(*) FROM NOTAFISCALITEM i JOIN NOTAFISCAL n ON n.NRSEQNOTA = i.NRSEQNOTA WHERE" +
            ours),
      "300");
}

// A colleague exports a large file (the server writes its lines into the
// same database) while a folder is brought in: both end, nothing lost.
TEST_F(XmlImport, AnImportBesideAnExportCompletes) {
  PrepareDatabase(database_, {"--demo-volume", "20001"});
  const auto folder = scratch_ / "beside";
  WriteNotes(folder, 150);
  ServerProcess server(database_, {"--output-dir", scratch_.string()});
  std::string command;
  for (const std::string& arg : ExportCommand(MAG_EXPORT_PATH, server.port(), database_, true, "volume.txt"))
    command += "'" + arg + "' ";
  CommandRun exported;
  std::thread colleague([&] { exported = RunCommand(command); });
  const CommandRun imported = Import(folder.string());
  colleague.join();
  EXPECT_EQ(imported.status, 0) << imported.output;
  EXPECT_NE(imported.output.find("importados: 150\n"), std::string::npos) << imported.output;
  EXPECT_EQ(exported.status, 0) << exported.output;
  EXPECT_EQ(std::filesystem::file_size(scratch_ / "volume.txt"), kVolumeLines * 128u);
}

TEST(DocumentText, IsUtf8WhateverTheDeclaredEncoding) {
  using server::import::Utf8Text;
  const std::string latin1 = "<?xml version='1.0' encoding='iso-8859-1'?><a>Jo\xE3o</a>";
  EXPECT_EQ(Utf8Text(latin1), "<?xml version='1.0' encoding='iso-8859-1'?><a>João</a>");
  const std::string windows = "<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>\x93ok\x94 \x80</a>";
  EXPECT_EQ(Utf8Text(windows), "<?xml version=\"1.0\" encoding=\"windows-1252\"?><a>“ok” €</a>");
  EXPECT_EQ(Utf8Text("\xEF\xBB\xBF<a>ç</a>"), "<a>ç</a>");
  const struct {
    std::string bytes;
    const char* says;
  } refused[] = {
      {"<a>\xE7</a>", "o byte 0xE7 na posição 3 não é UTF-8 válido (o arquivo não declara codificação"},
      {"\xEF\xBB\xBF<a>\xC3</a>", "o byte 0xC3 na posição 6 não é UTF-8 válido"},
      {"<?xml version='1.0' encoding='windows-1252'?><a>\x81</a>", "o byte 0x81 na posição 48 não é"},
      {"<?xml version='1.0' encoding='EBCDIC'?><a/>", "a codificação declarada 'EBCDIC' não é aceita"},
      {std::string("\xFF\xFE<\0a\0/\0>\0", 10), "UTF-16"},
  };
  for (const auto& c : refused) {
    try {
      Utf8Text(c.bytes);
      ADD_FAILURE() << c.says;
    } catch (const server::import::ImportRefused& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
  }
}

TEST(ImportedNumbers, AreScaledAndRoundedHalfUpOrRefused) {
  using server::import::Scaled;
  const struct {
    const char* text;
    int decimals;
    long long expected;
  } good[] = {{"0", 2, 0},          {"150", 2, 15000},   {"1.5", 2, 150},     {"18.0000", 2, 1800},
              {"12.345", 2, 1235},  {"12.344", 2, 1234}, {"2.5", 3, 2500},    {"0.0005", 3, 1},
              {"2.8900", 4, 28900}, {".5", 2, 50},       {"99.995", 2, 10000}};
  for (const auto& c : good) EXPECT_EQ(Scaled(c.text, c.decimals, "v"), c.expected) << c.text;
  for (const char* bad : {"", ".", "1.", "-1", "1,5", "1.2.3", " 1", "99999999999999999999"})
    EXPECT_THROW(Scaled(bad, 2, "v"), server::import::ImportRefused) << bad;
}

TEST(ImportedCfops, TakeTheInformantsDirection) {
  using server::import::OwnCfop;
  EXPECT_EQ(OwnCfop("5102", 'E'), "1102");
  EXPECT_EQ(OwnCfop("6403", 'E'), "2403");
  EXPECT_EQ(OwnCfop("7101", 'E'), "3101");
  EXPECT_EQ(OwnCfop("1202", 'S'), "5202");
  EXPECT_EQ(OwnCfop("2102", 'E'), "2102");
  EXPECT_EQ(OwnCfop("5102", 'S'), "5102");
  for (const char* bad : {"4102", "8101", "510", "51020", "5a02"})
    EXPECT_THROW(OwnCfop(bad, 'E'), server::import::ImportRefused) << bad;
}

}  // namespace
