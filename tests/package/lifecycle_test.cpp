#include "host/toolkit/form_dump.h"
#include "tests/support/package_fixture.h"

namespace {

using Lifecycle = PackageFixture;

TEST_F(Lifecycle, TwoCallsOfIniProcGiveOneFormOneCreationAndOneConnect) {
  IniProc();
  TfrmArquMag* first = Cli_mag04200::frmArquMag;
  IniProc();
  EXPECT_EQ(Cli_mag04200::frmArquMag, first);
  EXPECT_TRUE(Cli_mag04200::boIdCriado);
  EXPECT_EQ(tk::Application().Forms().size(), 1u);
  EXPECT_EQ(connections, (std::vector<std::string>{"connect 127.0.0.1:8420 Mag04200.rdmArqMag"}));
  EXPECT_TRUE(Form().cdsRegistro->Active());
  EXPECT_TRUE(Form().cdsRegistro75->Active());
  EXPECT_EQ(tk::Application().Screen().Cursor(), tk::crDefault);
  EXPECT_TRUE(dialogs.Transcript().empty());
}

TEST_F(Lifecycle, IniProcBringsAMinimizedFormBackToNormalSizeInFront) {
  IniProc();
  OtherChild* other = nullptr;
  tk::Application().CreateForm(other);
  Form().SetWindowState(tk::TWindowState::wsMinimized);
  const int refreshes = Form().RefreshCount();
  IniProc();
  EXPECT_EQ(Form().WindowState(), tk::TWindowState::wsNormal);
  EXPECT_EQ(tk::Application().ActiveForm(), &Form());
  EXPECT_EQ(Form().RefreshCount(), refreshes + 1);  // coming back to it is an activation
}

TEST_F(Lifecycle, ClosingReleasesTheFormAndTheNextIniProcStartsAfresh) {
  IniProc();
  const std::string fresh = tk::DescribeForm(Form());
  Form().cbbArquivo->SelectItem(1);
  Form().edtNmArquivo->SetText("janeiro.txt");
  Form().depInventario->SetText("12/2025");
  Form().clbArquivos->SetChecked(3, true);

  tk::Application().Perform([&] { Form().Close(); });
  EXPECT_FALSE(Cli_mag04200::boIdCriado);
  EXPECT_TRUE(tk::Application().Forms().empty());

  comp::Settings().Override("server.port", "8421");
  IniProc();
  EXPECT_EQ(tk::DescribeForm(Form()), fresh);
  EXPECT_EQ(connections, (std::vector<std::string>{"connect 127.0.0.1:8420 Mag04200.rdmArqMag", "disconnect",
                                                   "connect 127.0.0.1:8421 Mag04200.rdmArqMag"}));
}

TEST_F(Lifecycle, BeforeConnectReadsThePortBeforeTheHostAtEveryConnect) {
  IniProc();
  comp::Settings().Override("server.host", "fiscal.example");
  comp::Settings().Override("server.port", "not a port");
  EXPECT_THROW(Form().netArqMagBeforeConnect(*Form().netArqMag), std::runtime_error);
  EXPECT_EQ(Form().netArqMag->Host(), "127.0.0.1");  // the failing port came first
  comp::Settings().Override("server.port", "9000");
  Form().netArqMagBeforeConnect(*Form().netArqMag);
  EXPECT_EQ(Form().netArqMag->Port(), 9000);
  EXPECT_EQ(Form().netArqMag->Host(), "fiscal.example");
}

TEST_F(Lifecycle, TheStateListOutlivesTheFormAndIsEmptiedWhenTheUnitShutsDown) {
  IniProc();
  Cli_mag04200::stEstado = "SP,RJ";
  Form().Close();
  tk::Application().ProcessMessages();
  EXPECT_EQ(Cli_mag04200::stEstado, "SP,RJ");

  Initialize();  // a second start-up is counted...
  Finalize();    // ...so its shut-down does not act yet
  EXPECT_EQ(Cli_mag04200::stEstado, "SP,RJ");
  Finalize();
  EXPECT_EQ(Cli_mag04200::stEstado, "");
  Initialize();  // balance the fixture's shut-down
}

TEST_F(Lifecycle, EveryActivationAppliesTheFileTypeRuleAgain) {
  IniProc();
  OtherChild* other = nullptr;
  tk::Application().CreateForm(other);
  Form().rbtEstLista->SetChecked(true);
  Cli_mag04200::stEstado = "SP";
  Form().medCodPais->SetEnabled(true);  // as if a state variant had been chosen before
  Form().Show();
  EXPECT_EQ(Cli_mag04200::stEstado, "");       // "SINTEGRA" takes no state list
  EXPECT_TRUE(Form().rbtEstLista->Checked());  // the checked button stays
  EXPECT_FALSE(Form().medCodPais->Enabled());
}

TEST_F(Lifecycle, AFailedCreationIsReportedAndTheNextCallTriesAgain) {
  comp::Settings().Override("server.port", "0");
  IniProc();
  EXPECT_FALSE(Cli_mag04200::boIdCriado);
  EXPECT_TRUE(tk::Application().Forms().empty());
  ASSERT_EQ(dialogs.Transcript().size(), 1u);
  EXPECT_EQ(dialogs.Transcript()[0].text, "Porta do servidor inválida nas configurações: '0'");

  comp::Settings().Override("server.port", "8420");
  IniProc();
  EXPECT_TRUE(Cli_mag04200::boIdCriado);
  EXPECT_EQ(tk::Application().Screen().Cursor(), tk::crDefault);
}

}  // namespace
