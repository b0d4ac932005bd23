#include "tests/support/screen_fixture.h"

namespace {

using Company = ScreenFixture;
using tk::PickAnswer;

TEST_F(Company, AOneDigitCodeIsPaddedAndKeepsItsNameAfterTheChangeRuleClearedIt) {
  F().edtNrInscricao->SetText("stale");  // cleared by the company's change rule
  EXPECT_TRUE(Enter(*F().medCdEmpresa, "1"));
  EXPECT_EQ(F().medCdEmpresa->Text(), "01");
  EXPECT_EQ(F().edtNmEmpresa->Text(), "Comércio Paulista de Alimentos Ltda");
  EXPECT_EQ(F().edtNrInscricao->Text(), "");
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(BusyCount(), std::make_pair(1, 1));
  EXPECT_EQ(Focused(), "medCdImposto");
}

TEST_F(Company, TheRegimeCodeDecidesBetweenTheTaxAndTheRegistration) {
  // Regime "3": the tax stays a parameter and keeps its code.
  F().medCdImposto->SetText("01");
  Enter(*F().medCdEmpresa, "01");
  for (tk::TControl* c :
       std::initializer_list<tk::TControl*>{F().lblImposto, F().medCdImposto, F().btpImposto,
                                            F().lblInscricao, F().edtNrInscricao, F().btpInscricao}) {
    EXPECT_TRUE(c->Enabled()) << c->Name();
  }
  EXPECT_EQ(F().medCdImposto->Text(), "01");

  // Any other regime: the tax is cleared and disabled, the registration
  // search bound to the state registrations.
  F().edtNmImposto->SetText("ICMS");
  Enter(*F().medCdEmpresa, "02");
  EXPECT_EQ(F().medCdImposto->Text(), "");
  EXPECT_EQ(F().edtNmImposto->Text(), "");
  for (tk::TControl* c :
       std::initializer_list<tk::TControl*>{F().lblImposto, F().medCdImposto, F().btpImposto}) {
    EXPECT_FALSE(c->Enabled()) << c->Name();
  }
  EXPECT_TRUE(F().edtNrInscricao->Enabled());
  EXPECT_EQ(F().btpInscricao->DataSource(), F().dtsInscrEstad);
  EXPECT_EQ(F().btpInscricao->EmptyError(),
            "Não há inscrição estadual cadastrada para a empresa informada. ");
}

TEST_F(Company, AnUnknownCompanyIsReportedWithTheBusyAnimationClosedAndTheFocusBack) {
  EXPECT_FALSE(Enter(*F().medCdEmpresa, "77"));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Empresa não cadastrada.  "});
  EXPECT_EQ(BusyCount(), std::make_pair(1, 1));
  EXPECT_EQ(Focused(), "medCdEmpresa");
  EXPECT_FALSE(F().edtNrInscricao->Enabled());  // the regime rule did not run
  EXPECT_TRUE(F().cdsEmpresa->IsEmpty());

  // Leaving it empty afterwards checks nothing; the rule reads the empty
  // dataset and enables the registration.
  dialogs.ClearTranscript();
  EXPECT_TRUE(Enter(*F().medCdEmpresa, ""));
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(F().edtNrInscricao->Enabled());
}

TEST_F(Company, AFailingServerCallIsShownWithTheBusyAnimationClosedAndTheFocusBack) {
  Shut();
  Open(1);  // nothing listens there: the connection stays closed
  EXPECT_FALSE(Enter(*F().medCdEmpresa, "01"));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("127.0.0.1:1"), std::string::npos) << Messages()[0];
  EXPECT_EQ(BusyCount(), std::make_pair(1, 1));
  EXPECT_EQ(Focused(), "medCdEmpresa");
}

TEST_F(Company, PickingACompanyCopiesCodeAndNameAndAppliesOnlyTheRegimeRule) {
  EXPECT_TRUE(Pick(*F().btpEmpresa, PickAnswer::Value("02")));
  ASSERT_NE(LastList(), nullptr);
  EXPECT_EQ(LastList()->text, "Empresa");
  EXPECT_EQ(LastList()->rows.at(0), (std::vector<std::string>{"01", "Comércio Paulista de Alimentos Ltda"}));
  EXPECT_EQ(BusyCount(), std::make_pair(1, 1));
  EXPECT_EQ(F().medCdEmpresa->Text(), "02");
  EXPECT_EQ(F().edtNmEmpresa->Text(), "Indústria Mineira de Móveis S.A.");
  EXPECT_TRUE(F().edtNrInscricao->Enabled());
  EXPECT_TRUE(F().medCdImposto->Enabled());  // the rest of the enabling waits for the exit
  EXPECT_EQ(Focused(), "cbbArquivo");        // a search button takes no focus
}

TEST_F(Company, OnlyAStateTaxIsAcceptedAndItEnablesTheRegistrationsAndTheSubstitute) {
  EXPECT_TRUE(Enter(*F().medCdImposto, "1"));
  EXPECT_EQ(F().medCdImposto->Text(), "01");
  EXPECT_EQ(F().edtNmImposto->Text(), "ICMS");
  for (tk::TControl* c :
       std::initializer_list<tk::TControl*>{F().lblInscricao, F().edtNrInscricao, F().btpInscricao,
                                            F().lblInscricaoST, F().edtNrInscricaoST, F().btpInscricaoST}) {
    EXPECT_TRUE(c->Enabled()) << c->Name();
  }
  // A municipal tax and a tax of no authority show their abbreviation, then fail.
  for (const char* code : {"02", "03"}) {
    dialogs.ClearTranscript();
    EXPECT_FALSE(Enter(*F().medCdImposto, code)) << code;
    EXPECT_EQ(Messages(), std::vector<std::string>{"Orgão arrecadador do imposto deve ser Estadual."})
        << code;
    EXPECT_EQ(Focused(), "medCdImposto");
    EXPECT_FALSE(F().edtNmImposto->Text().empty());
  }
  dialogs.ClearTranscript();
  EXPECT_FALSE(Enter(*F().medCdImposto, "99"));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Imposto não cadastrado. "});
}

TEST_F(Company, TheSubstituteStaysDisabledUntilATaxIsAccepted) {
  Enter(*F().medCdEmpresa, "02");  // regime 1: the tax is disabled, so no tax can be accepted
  EXPECT_FALSE(F().edtNrInscricaoST->Enabled());
  EXPECT_FALSE(F().btpInscricaoST->Enabled());
  F().Vd_Imposto(true);  // a disabled tax field is not checked, required or not
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Company, StateRegistrationsAreCheckedAndListedForTheCompanyInTheField) {
  Enter(*F().medCdEmpresa, "02");
  dialogs.ClearTranscript();
  EXPECT_FALSE(Enter(*F().edtNrInscricao, "123"));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Inscrição estadual não cadastrada.  "});
  EXPECT_EQ(Focused(), "edtNrInscricao");
  EXPECT_EQ(F().btpInscricao->Title(), "Inscrição Estadual");

  F().edtNrInscricaoST->SetText("x");
  EXPECT_TRUE(Pick(*F().btpInscricao, PickAnswer::Value("0623079040081")));
  EXPECT_EQ(F().edtNrInscricao->Text(), "0623079040081");
  EXPECT_EQ(F().edtNrInscricaoST->Text(), "");  // the registration's change rule
  EXPECT_TRUE(Enter(*F().edtNrInscricao, "0623079040081"));
  EXPECT_TRUE(F().qryInscrEstad->Active());
}

TEST_F(Company, AMunicipalTaxInTheListMakesTheRegistrationMunicipal) {
  Enter(*F().medCdEmpresa, "01");
  user->Tab();  // leaves the tax empty
  EXPECT_EQ(Focused(), "edtNrInscricao");
  // The tax list left on the municipal tax: its authority "M" decides the kind.
  EXPECT_TRUE(Pick(*F().btpImposto, PickAnswer::Value("ISS")));
  EXPECT_EQ(F().medCdImposto->Text(), "02");
  dialogs.ClearTranscript();
  EXPECT_FALSE(Enter(*F().edtNrInscricao, "999"));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Inscrição municipal não cadastrada.  "});
  EXPECT_EQ(F().btpInscricao->Title(), "Inscrição Municipal");
  F().edtNrInscricao->Clear();
  EXPECT_FALSE(tk::Application().Perform([&] { F().Vd_Inscricao(true); }));
  EXPECT_EQ(Messages().back(), "Inscrição municipal deve ser informada.  ");

  EXPECT_TRUE(Pick(*F().btpInscricao, PickAnswer::Value("31245679")));
  EXPECT_EQ(F().edtNrInscricao->Text(), "31245679");
  ASSERT_NE(LastList(), nullptr);
  EXPECT_EQ(LastList()->rows, (std::vector<std::vector<std::string>>{{"31245678"}, {"31245679"}}));
}

TEST_F(Company, SubstituteRegistrationsAreCheckedForTheCompanyAndRegistration) {
  Enter(*F().medCdEmpresa, "01");
  Enter(*F().medCdImposto, "01");
  Enter(*F().edtNrInscricao, "110042490114");
  dialogs.ClearTranscript();
  EXPECT_FALSE(Enter(*F().edtNrInscricaoST, "1"));
  EXPECT_EQ(Messages(),
            std::vector<std::string>{
                "Inscrição do substituto tributário não cadastrada para a empresa e inscrição estadual "
                "informadas."});
  EXPECT_EQ(Focused(), "edtNrInscricaoST");
  EXPECT_TRUE(Pick(*F().btpInscricaoST, PickAnswer::Value("78123451")));
  EXPECT_EQ(F().edtNrInscricaoST->Text(), "78123451");
  EXPECT_TRUE(Enter(*F().edtNrInscricaoST, "78123451"));
  F().edtNrInscricaoST->Clear();
  F().Vd_InscricaoST();  // empty is accepted

  // Changing the company keeps the substitute controls enabled and clears it.
  F().edtNrInscricaoST->SetText("78123451");
  Enter(*F().medCdEmpresa, "03");
  EXPECT_TRUE(F().edtNrInscricaoST->Enabled());
  EXPECT_EQ(F().edtNrInscricaoST->Text(), "");
}

}  // namespace

namespace {

TEST_F(Company, RequiredModeReportsEmptyFieldsWithTheFocusOnThem) {
  F().edtNrInscricao->SetEnabled(true);
  const std::pair<std::function<void()>, const char*> cases[] = {
      {[&] { F().Vd_Empresa(true); }, "Empresa deve ser informada.  "},
      {[&] { F().Vd_Imposto(true); }, "Imposto deve ser informado. "},
      {[&] { F().Vd_Inscricao(true); }, "Inscrição estadual deve ser informada. "},
  };
  const char* fields[] = {"medCdEmpresa", "medCdImposto", "edtNrInscricao"};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    user->Focus(*F().cbbArquivo);
    dialogs.ClearTranscript();
    EXPECT_FALSE(tk::Application().Perform(cases[i].first));
    EXPECT_EQ(Messages(), std::vector<std::string>{cases[i].second});
    EXPECT_EQ(Focused(), fields[i]);
  }
  // The tax lookup shows no busy animation; only the company lookups do.
  dialogs.ClearTranscript();
  Enter(*F().medCdImposto, "01");
  EXPECT_EQ(BusyCount(), std::make_pair(0, 0));
}

}  // namespace
