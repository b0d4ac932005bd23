#include "tests/support/screen_fixture.h"

namespace {

using Screen = ScreenFixture;
using tk::PickAnswer;

TEST_F(Screen, TheFileTypeRuleEnablesWhatEachTypeUses) {
  const std::pair<const char*, bool> types[] = {
      {"SINTEGRA", false},     {"SINTEGRA - RS", false}, {"DIEF - MA", true}, {"DIEF - PI", true},
      {"SINTEGRA - MS", true}, {"SINTEGRA - RJ", true},  {"sintegra", true}};
  for (const auto& [type, country] : types) {
    F().ckcInventario->SetEnabled(true);
    F().ckcInventario->SetChecked(true);
    F().ckcRegistro88st->SetEnabled(true);
    F().ckcRegistro88st->SetChecked(true);
    F().cbbArquivo->SetText(
        type);  // a text outside the list can only be pasted; it counts as a state variant
    for (tk::TControl* c : std::initializer_list<tk::TControl*>{F().lblPais, F().medCodPais, F().sbtPescPais,
                                                                F().lblEstado, F().grbEstado, F().rbtEstTodos,
                                                                F().rbtEstLista, F().clbArquivos}) {
      EXPECT_EQ(c->Enabled(), country) << type << " " << c->Name();
    }
    EXPECT_EQ(F().ckcInventario->Enabled(), !country) << type;
    EXPECT_EQ(F().ckcInventario->Checked(), !country) << type;
    EXPECT_EQ(F().ckcRegistro88st->Checked(), !country) << type;
    EXPECT_EQ(F().depInventario->Enabled(), !country) << type;  // unchecking ran the inventory click
  }
}

TEST_F(Screen, BackToTheNationalFileTheStateListIsEmptiedButTheChoicesStay) {
  user->Choose(*F().cbbArquivo, 1);
  F().clbArquivos->SetChecked(2, true);
  F().medCodPais->SetText("1058");
  user->Click(*F().rbtEstLista);
  Cli_mag04200::stEstado = "SP";
  user->Choose(*F().cbbArquivo, 0);
  EXPECT_EQ(Cli_mag04200::stEstado, "");
  EXPECT_TRUE(F().rbtEstLista->Checked());
  EXPECT_TRUE(F().clbArquivos->Checked(2));
  EXPECT_EQ(F().medCodPais->Text(), "1058");
}

TEST_F(Screen, ACountryCodeIsAdjustedLookedUpAndResetsTheStateSelection) {
  user->Choose(*F().cbbArquivo, 1);
  user->Click(*F().rbtEstLista);
  Cli_mag04200::stEstado = "SP";
  EXPECT_TRUE(Enter(*F().medCodPais, "249"));
  EXPECT_EQ(F().medCodPais->Text(), "0249");
  EXPECT_EQ(F().edtNmPais->Text(), "Estados Unidos");
  EXPECT_EQ(Cli_mag04200::stEstado, "");
  EXPECT_TRUE(F().rbtEstTodos->Checked());
  EXPECT_FALSE(F().sbtPescEst->Enabled());

  EXPECT_FALSE(Enter(*F().medCodPais, "58"));
  EXPECT_EQ(Messages(), std::vector<std::string>{"País não cadastrado.  "});
  EXPECT_EQ(Focused(), "medCodPais");
  EXPECT_EQ(F().medCodPais->Text(), "0058");
  EXPECT_EQ(F().edtNmPais->Text(), "");

  // An unchanged, adjusted code keeps the state list and looks the country up again.
  Enter(*F().medCodPais, "1058");
  Cli_mag04200::stEstado = "MG";
  F().qryPais->Close();
  EXPECT_TRUE(user->Focus(*F().medCodPais) && user->Tab());
  EXPECT_EQ(Cli_mag04200::stEstado, "MG");
  EXPECT_TRUE(F().qryPais->Active());
  EXPECT_EQ(F().edtNmPais->Text(), "Brasil");

  // Left empty: no lookup, no message, the name cleared.
  dialogs.ClearTranscript();
  EXPECT_TRUE(Enter(*F().medCodPais, ""));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(F().edtNmPais->Text(), "");
}

TEST_F(Screen, TheStatePickerRunsItsQueryBeforeCheckingTheCountry) {
  user->Choose(*F().cbbArquivo, 1);
  user->Click(*F().rbtEstLista);
  EXPECT_TRUE(F().sbtPescEst->Enabled());
  F().qryEstado->Close();
  EXPECT_FALSE(user->Click(*F().sbtPescEst));
  EXPECT_TRUE(F().qryEstado->Active());  // opened first, with the empty country
  EXPECT_EQ(Messages(), std::vector<std::string>{"País deve ser informado.  "});
  EXPECT_EQ(Focused(), "medCodPais");

  Enter(*F().medCodPais, "1058");
  user->Click(*F().rbtEstLista);
  EXPECT_TRUE(Pick(*F().sbtPescEst, PickAnswer::Values({"SP", "MG"})));
  EXPECT_EQ(LastList()->text, "Estado");
  EXPECT_EQ(LastList()->rows.size(), 27u);
  EXPECT_EQ(Cli_mag04200::stEstado, "MG,SP");
  EXPECT_TRUE(Pick(*F().sbtPescEst, PickAnswer::Cancel()));
  EXPECT_EQ(Cli_mag04200::stEstado, "MG,SP");

  // A country without states opens the picker on an empty list.
  Enter(*F().medCodPais, "249");
  user->Click(*F().rbtEstLista);
  EXPECT_TRUE(Pick(*F().sbtPescEst, PickAnswer::Rows({})));
  EXPECT_TRUE(LastList()->rows.empty());
  EXPECT_EQ(Cli_mag04200::stEstado, "");

  // "Lista" with nothing chosen fails the required check, with the focus on "Lista".
  dialogs.ClearTranscript();
  EXPECT_FALSE(tk::Application().Perform([&] { F().Vd_Estado(true); }));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Estado deve ser informado."});
  EXPECT_EQ(Focused(), "rbtEstLista");
  user->Click(*F().rbtEstTodos);
  F().Vd_Estado(true);
}

TEST_F(Screen, ChoosingACountryInTheSearchResetsAChosenStateList) {
  user->Choose(*F().cbbArquivo, 2);
  Enter(*F().medCodPais, "1058");
  user->Click(*F().rbtEstLista);
  Pick(*F().sbtPescEst, PickAnswer::Values({"RJ"}));
  EXPECT_TRUE(Pick(*F().sbtPescPais, PickAnswer::Value("0639")));
  EXPECT_EQ(F().medCodPais->Text(), "0639");
  EXPECT_EQ(F().edtNmPais->Text(), "Argentina");
  EXPECT_EQ(Cli_mag04200::stEstado, "");
  EXPECT_TRUE(F().rbtEstTodos->Checked());
  EXPECT_FALSE(F().sbtPescEst->Enabled());
}

TEST_F(Screen, TheMonthsOpenOnTheCurrentOneAndTheInventoryMonthEmpty) {
  const std::time_t now = std::time(nullptr);
  std::tm today{};
  localtime_r(&now, &today);
  char month[40];
  std::snprintf(month, sizeof month, "%02d/%04d", today.tm_mon + 1, today.tm_year + 1900);
  EXPECT_EQ(F().depMesInicial->Text(), month);
  EXPECT_EQ(F().depMesFinal->Text(), month);
  EXPECT_EQ(F().depInventario->Text(), "");
  // A period typed over them meets no message.
  EXPECT_TRUE(Enter(*F().depMesInicial, "01/2026"));
  EXPECT_EQ(Focused(), "depMesFinal");
  EXPECT_TRUE(Enter(*F().depMesFinal, "01/2026"));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Screen, AnInvalidMonthTakesTheFocusWhicheverMonthIsLeft) {
  // The first month invalid while the last is empty: leaving the first asks
  // for the last, and leaving the last brings the user back to the first.
  F().depMesFinal->Clear();
  EXPECT_FALSE(Enter(*F().depMesInicial, "13/2026"));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Data final deve ser informada."});
  EXPECT_EQ(Focused(), "depMesFinal");
  dialogs.ClearTranscript();
  EXPECT_FALSE(Enter(*F().depMesFinal, "01/2026"));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Data inválida."});
  EXPECT_EQ(Focused(), "depMesInicial");
  dialogs.ClearTranscript();
  EXPECT_TRUE(Enter(*F().depMesInicial, "01/2026"));
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Screen, MonthsAreCheckedOnLeavingAndTheirOrderOnlyWhenRequired) {
  F().depMesFinal->Clear();
  EXPECT_FALSE(Enter(*F().depMesInicial, "02/2026"));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Data final deve ser informada."});
  EXPECT_EQ(Focused(), "depMesFinal");
  EXPECT_TRUE(Enter(*F().depMesFinal, "01/2026"));  // reversed, but not required here
  dialogs.ClearTranscript();
  EXPECT_FALSE(tk::Application().Perform([&] { F().Vd_Data(true); }));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Data inicial deve ser menor ou igual a data final."});
  EXPECT_EQ(Focused(), "depMesInicial");
  F().depMesFinal->SetText("02/2026");
  F().Vd_Data(true);  // equal months pass

  dialogs.ClearTranscript();
  F().depMesFinal->SetText("13/2026");
  EXPECT_FALSE(user->Focus(*F().depMesFinal) && user->Tab());
  EXPECT_EQ(Messages(), std::vector<std::string>{"Data inválida."});
  F().depMesInicial->Clear();
  EXPECT_FALSE(tk::Application().Perform([&] { F().Vd_Data(false); }));
  EXPECT_EQ(Messages().back(), "Data inicial deve ser informada.");
  EXPECT_EQ(Focused(), "depMesInicial");
}

TEST_F(Screen, TheBookIsLookedUpEvenWhenEmptyAndNeverReportedMissing) {
  // The months come next in the tab order; filled, they let the focus pass.
  F().depMesInicial->SetText("01/2026");
  F().depMesFinal->SetText("01/2026");
  EXPECT_EQ(F().medLivro->Text(), std::string(10, ' '));
  EXPECT_FALSE(F().cdsLivroMag->Active());
  EXPECT_TRUE(user->Focus(*F().medLivro) && user->Tab());
  EXPECT_TRUE(F().cdsLivroMag->Active());  // the server was asked
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(F().edtLivro->Text(), "");

  EXPECT_TRUE(Enter(*F().medLivro, "1"));
  EXPECT_EQ(F().medLivro->Text(), "0000000001");
  EXPECT_EQ(F().edtLivro->Text(), "Livro Registro de Entradas e Saídas");
  EXPECT_FALSE(Enter(*F().medLivro, "99"));
  EXPECT_EQ(Messages(), std::vector<std::string>{"Livro Magnético não cadastrado."});
  EXPECT_EQ(Focused(), "medLivro");
  EXPECT_EQ(F().edtLivro->Text(), "");

  dialogs.ClearTranscript();
  EXPECT_TRUE(Pick(*F().sbtPesqLivro, PickAnswer::Value("0000000010")));
  EXPECT_EQ(dialogs.Transcript().front().text, "Carregando Livro Magnético.");
  EXPECT_EQ(BusyCount(), std::make_pair(1, 1));
  EXPECT_EQ(F().medLivro->Text(), "0000000010");
  EXPECT_EQ(F().edtLivro->Text(), "Livro de Apuração do ICMS");
}

TEST_F(Screen, TheFileNameRefusesSeventeenCharactersAndTheListsRefuseEveryKey) {
  user->Focus(*F().edtNmArquivo);
  for (char32_t c : std::u32string(U"*\\/#!?@$%&+,:<>\"|")) {
    dialogs.ClearTranscript();
    EXPECT_FALSE(user->Key(c));
    EXPECT_EQ(Messages(), std::vector<std::string>{"O arquivo deve conter um nome válido"});
  }
  EXPECT_EQ(F().edtNmArquivo->Text(), "");
  EXPECT_TRUE(user->Type("jan 2026-a;b.txt"));
  EXPECT_EQ(F().edtNmArquivo->Text(), "jan 2026-a;b.txt");
  EXPECT_EQ(Focused(), "edtNmArquivo");
  user->Paste("/x");  // pasted text is not filtered
  EXPECT_EQ(F().edtNmArquivo->Text(), "jan 2026-a;b.txt/x");

  for (tk::TComboBox* combo : {F().cbbArquivo, F().cbbVersao, F().cbbFinalidade}) {
    const std::string before = combo->Text();
    user->Focus(*combo);
    user->Type("1x ");
    EXPECT_EQ(combo->Text(), before) << combo->Name();
  }
}

TEST_F(Screen, TheInventoryOptionEnablesItsMonthAndKeepsItsText) {
  user->Click(*F().ckcInventario);
  EXPECT_TRUE(F().depInventario->Enabled());
  EXPECT_TRUE(F().lblRefInve->Enabled());
  Enter(*F().depInventario, "12/2025");
  user->Click(*F().ckcInventario);
  EXPECT_FALSE(F().depInventario->Enabled());
  EXPECT_FALSE(F().lblRefInve->Enabled());
  EXPECT_EQ(F().depInventario->Text(), "12/2025");
}

}  // namespace
