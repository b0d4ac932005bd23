// The desktop's other windows against a real server: documents brought in,
// a point-of-sale file merged, and the verdict on the file an export wrote.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QMessageBox>
#include <QtTest>
#include <filesystem>

#include "host/components/host_settings.h"
#include "host/qt/main_window.h"
#include "host/qt/ui_driver.h"
#include "host/toolkit/user_input.h"
#include "lib/sql/session.h"
#include "package/form/frm_arqu_mag.h"
#include "package/module/globals.h"
#include "tests/support/demo_server.h"

namespace {

namespace drive = qtfront::drive;
namespace fs = std::filesystem;

class Workplace : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { demo_ = std::make_unique<DemoServer>("workplace"); }
  static void TearDownTestSuite() { demo_.reset(); }
  void SetUp() override {
    comp::Settings().Clear();
    comp::Settings().Override("server.host", "127.0.0.1");
    comp::Settings().Override("server.port", std::to_string(demo_->server->port()));
    comp::Settings().Override("database.url", demo_->database);
    window = std::make_unique<qtfront::MainWindow>(MAG_PACKAGE_PATH, "/dev/null");
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
  }
  void TearDown() override {
    window.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    comp::Settings().Clear();
  }

  // Exports company 02's January as the user would, answering the success
  // message; gives the file's path.
  std::string ExportJanuary(const std::string& name) {
    window->ScreenAction()->trigger();
    auto& f = *Cli_mag04200::frmArquMag;
    tk::UserInput user(f);
    user.Fill(*f.medCdEmpresa, "02");
    user.Tab();
    user.Fill(*f.edtNrInscricao, "0623079040081");
    user.Tab();
    user.Fill(*f.depMesInicial, "01/2026");
    user.Fill(*f.depMesFinal, "01/2026");
    user.Choose(*f.cbbVersao, 2);
    user.Choose(*f.cbbFinalidade, 0);
    user.Fill(*f.edtNmArquivo, name);
    QString said;
    drive::WhenModal([&said](QWidget* box) {
      if (auto* m = qobject_cast<QMessageBox*>(box)) said = m->text();
      QTest::keyClick(box, Qt::Key_Return);
    });
    user.Click(*f.sbtImportExport);
    EXPECT_EQ(said.toStdString(), "Exportação foi concluída com sucesso.  ");
    return (demo_->out / name).string();
  }

  static inline std::unique_ptr<DemoServer> demo_;
  std::unique_ptr<qtfront::MainWindow> window;
};

// The rows of the results table, "file|outcome|reason", as shown.
std::vector<std::string> Rows(const qtfront::ImportWindow& w) {
  std::vector<std::string> rows;
  const QAbstractItemModel* shown = w.Results()->model();
  for (int r = 0; r < shown->rowCount(); ++r) {
    rows.push_back((shown->index(r, 0).data().toString() + "|" + shown->index(r, 1).data().toString() + "|" +
                    shown->index(r, 2).data().toString())
                       .toStdString());
  }
  return rows;
}

bool Has(const std::vector<std::string>& rows, const std::string& start) {
  return std::any_of(rows.begin(), rows.end(),
                     [&](const std::string& row) { return row.rfind(start, 0) == 0; });
}

TEST_F(Workplace, AFolderOfDocumentsIsBroughtInWithARowPerDocumentAndTheSummary) {
  qtfront::ImportWindow* w = window->OpenImport(qtfront::ImportWindow::Mode::Documents);
  ASSERT_GT(w->Companies()->count(), 1);  // the server's list
  EXPECT_GE(w->Companies()->findData("01"), 0);
  w->AddPaths({QString(MAG_TEST_DATA) + "/import-shapes"});
  w->SetEstablishment("01", "244005621111");
  EXPECT_GE(w->Registrations()->findData("244005621111"), 0);  // the company's registrations
  w->Start();
  EXPECT_TRUE(w->Running());
  QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), 60000);

  const auto rows = Rows(*w);
  ASSERT_EQ(rows.size(), 12u) << w->Summary()->toPlainText().toStdString();  // the README is no document

  EXPECT_TRUE(Has(rows, "import-shapes.zip:nfe-latin1.xml|importado|")) << rows[0];
  EXPECT_TRUE(Has(rows, "import-shapes.zip:nfe-utf8-invalido.xml|recusado|o byte 0xE9 na posição 1841"));
  EXPECT_TRUE(Has(rows, "import-shapes.zip:cancelamento-nfe-antigo.xml|cancelado|cancelamento da chave"));
  EXPECT_EQ(w->Summary()->toPlainText().toStdString(),
            "arquivos: 12 · importados: 8 · atualizados: 0 · sem mudança: 0 · cancelados: 5 · ignorados: 0 · "
            "recusados: 1 · itens de serviço deixados de fora: 1");
  EXPECT_EQ(w->Progress()->value(), 12);

  // The filter shows one outcome; the CSV holds what the table shows.
  w->OutcomeFilter()->setCurrentIndex(w->OutcomeFilter()->findText("recusado"));
  ASSERT_EQ(Rows(*w).size(), 1u);
  const std::string csv = w->ResultsCsv();
  EXPECT_EQ(csv.rfind("\xEF\xBB\xBF"
                      "arquivo;resultado;motivo\r\n",
                      0),
            0u)
      << csv;
  EXPECT_NE(csv.find("import-shapes.zip:nfe-utf8-invalido.xml;recusado;o byte 0xE9"), std::string::npos)
      << csv;
  EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 2);

  // The same folder again changes nothing.
  w->Start();
  QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), 60000);
  EXPECT_TRUE(w->Summary()->toPlainText().contains("sem mudança: 11"))
      << w->Summary()->toPlainText().toStdString();
}

TEST_F(Workplace, AMergeRefusedSaysItsLineAndReason) {
  qtfront::ImportWindow* w = window->OpenImport(qtfront::ImportWindow::Mode::Merge);
  ASSERT_NE(w->Notes(), nullptr);
  // A file of another establishment.
  const std::string file = ExportJanuary("de_outra.txt");
  w->AddPaths({QString::fromStdString(file)});
  w->SetEstablishment("01", "244005621111");
  w->Notes()->setChecked(true);
  w->Start();
  QTRY_VERIFY_WITH_TIMEOUT(!w->Running(), 60000);
  const auto rows = Rows(*w);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_TRUE(Has(rows, "de_outra.txt|recusado|linha 1 (10): o arquivo é do CNPJ")) << rows[0];
  EXPECT_TRUE(w->Summary()->toPlainText().startsWith("recusado: de_outra.txt: linha 1 (10)"))
      << w->Summary()->toPlainText().toStdString();
}

TEST_F(Workplace, TheFileAnExportWroteIsCheckedAndItsVerdictShown) {
  const std::string clean = ExportJanuary("verificado.txt");
  QTRY_VERIFY_WITH_TIMEOUT(!window->CheckingWrittenFile(), 30000);
  EXPECT_EQ(window->Verdict().toStdString(), "verificado.txt: arquivo verificado: sem erros");
  EXPECT_TRUE(window->VerdictNote()->isVisible());

  // A document typed twice by hand: the export writes it, the check finds it.
  auto session = sql::OpenSession(demo_->database);
  session->Execute(
      "INSERT INTO NOTAFISCAL (NRSEQNOTA, CDEMPRESA, CDINSCESTA, CDLIVROMAG, IDENTSAI, NRCNPJPART, "
      "CDINSCPART, "
      "SGESTADOPART, DTDOCUMENTO, CDMODELO, CDSERIE, NRNOTA, IDEMITENTE, IDSITUACAO, CDANTECIPACAO, VRFRETE, "
      "VRSEGURO, VRDESPESAS) SELECT NRSEQNOTA + 900000, CDEMPRESA, CDINSCESTA, CDLIVROMAG, IDENTSAI, "
      "NRCNPJPART, "
      "CDINSCPART, SGESTADOPART, DTDOCUMENTO, CDMODELO, CDSERIE, NRNOTA, IDEMITENTE, IDSITUACAO, "
      "CDANTECIPACAO, "
      "VRFRETE, VRSEGURO, VRDESPESAS FROM NOTAFISCAL WHERE NRSEQNOTA = (SELECT MIN(NRSEQNOTA) FROM "
      "NOTAFISCAL "
      "WHERE CDEMPRESA = '02' AND DTDOCUMENTO LIKE '2026-01%' AND CDMODELO = '55')");
  session->Execute(
      "INSERT INTO NOTAFISCALITEM (NRSEQNOTA, NRITEM, CDPRODUTO, CDCFOP, CDCST, QTITEM, VRPRODUTO, "
      "VRDESCONTO, "
      "VRBASEICMS, VRALIQICMS, VRICMS, VRISENTAS, VROUTRAS, VRBASEST, VRICMSST, VRIPI, VRISENTASIPI, "
      "VROUTRASIPI) "
      "SELECT NRSEQNOTA + 900000, NRITEM, CDPRODUTO, CDCFOP, CDCST, QTITEM, "
      "VRPRODUTO, "
      "VRDESCONTO, VRBASEICMS, VRALIQICMS, VRICMS, VRISENTAS, VROUTRAS, VRBASEST, VRICMSST, VRIPI, "
      "VRISENTASIPI, "
      "VROUTRASIPI FROM NOTAFISCALITEM WHERE NRSEQNOTA = (SELECT MIN(NRSEQNOTA) FROM NOTAFISCAL WHERE "
      "CDEMPRESA = "
      "'02' AND DTDOCUMENTO LIKE '2026-01%' AND CDMODELO = '55')");
  session.reset();
  const std::string broken = ExportJanuary("duplicado.txt");
  QTRY_VERIFY_WITH_TIMEOUT(!window->CheckingWrittenFile(), 30000);
  const std::string verdict = window->Verdict().toStdString();
  EXPECT_EQ(verdict.rfind("duplicado.txt: ", 0), 0u) << verdict;
  EXPECT_NE(verdict.find(" erro"), std::string::npos) << verdict;
  EXPECT_NE(verdict.find("— ver"), std::string::npos) << verdict;

  // "ver" opens the check window on that file.
  const int before = window->Area()->subWindowList().size();
  window->OpenCheck(QString::fromStdString(broken));
  ASSERT_EQ(window->Area()->subWindowList().size(), before + 1);
  auto* check = dynamic_cast<qtfront::CheckWindow*>(window->Area()->activeSubWindow()->widget());
  ASSERT_NE(check, nullptr);
  QTRY_VERIFY_WITH_TIMEOUT(check->CurrentState() == qtfront::CheckWindow::State::Checked, 30000);
  ASSERT_NE(check->Outcome(), nullptr);
  bool duplicate = false;
  for (const auto& p : check->Outcome()->report.problems) duplicate |= p.rule == "duplicate-50";
  EXPECT_TRUE(duplicate);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
