#include <gtest/gtest.h>

#include "host/components/btn_pesquisa.h"
#include "host/components/client_dataset.h"
#include "host/components/consiste.h"
#include "host/components/net_connection.h"
#include "host/toolkit/application.h"
#include "host/toolkit/headless_dialogs.h"

namespace {

wire::DataPacket States() {
  return {{{"SGESTADO", wire::FieldType::String, 2}, {"NMESTADO", wire::FieldType::String, 30}},
          {{std::string("MG"), std::string("Minas Gerais")},
           {std::string("RJ"), std::string("Rio de Janeiro")},
           {std::string("SP"), std::string("São Paulo")}}};
}

struct SearchFixture : ::testing::Test {
  tk::HeadlessDialogs dialogs;
  tk::TComponent form{nullptr, "TForm", "frm"};
  comp::TClientDataSet& cds = form.Create<comp::TClientDataSet>("cdsEstado");
  comp::TDataSource& source = form.Create<comp::TDataSource>("dtsEstado");
  comp::TBtnPesquisa& button = form.Create<comp::TBtnPesquisa>("btpEstado");
  std::vector<std::string> events;

  void SetUp() override {
    tk::Application().SetDialogs(&dialogs);
    cds.AddField("SGESTADO", comp::TFieldType::ftString, 2).SetVisible(false);
    cds.AddField("NMESTADO", comp::TFieldType::ftString, 30).SetDisplayLabel("Nome");
    source.SetDataSet(&cds);
    button.SetDataSource(&source);
    button.SetTitle("Estado");
    button.SetEmptyError("Não há estado cadastrado.");
    button.OnAfterPesq = [this](tk::TComponent&) {
      events.push_back("after " + cds.FieldByName("SGESTADO").AsString());
    };
  }
  void TearDown() override { tk::Application().SetDialogs(nullptr); }
};

TEST_F(SearchFixture, TheListShowsVisibleFieldsUnderTheirLabelsAndThePickPositionsTheDataset) {
  button.OnBeforePesq = [this](tk::TComponent&, bool&) {
    events.push_back("before");
    cds.SetData(States());
  };
  dialogs.ScriptPick(tk::PickAnswer::Row(2));
  EXPECT_TRUE(tk::Application().Perform([&] { button.Click(); }));
  EXPECT_EQ(events, (std::vector<std::string>{"before", "after SP"}));
  ASSERT_EQ(dialogs.Transcript().size(), 1u);
  EXPECT_EQ(dialogs.Transcript()[0].text, "Estado");
  EXPECT_EQ(dialogs.Transcript()[0].rows[2], (std::vector<std::string>{"São Paulo"}));

  dialogs.ScriptPick(tk::PickAnswer::Cancel());
  EXPECT_TRUE(tk::Application().Perform([&] { button.Click(); }));
  EXPECT_EQ(events.size(), 3u);  // before ran again, no after
}

TEST_F(SearchFixture, AnEmptyDatasetReportsTheEmptyErrorAndABeforeFailurePassesOn) {
  EXPECT_FALSE(tk::Application().Perform([&] { button.Click(); }));
  button.OnBeforePesq = [](tk::TComponent&, bool&) { throw comp::EServerError("Servidor indisponível"); };
  EXPECT_FALSE(tk::Application().Perform([&] { button.Click(); }));
  ASSERT_EQ(dialogs.Transcript().size(), 2u);
  EXPECT_EQ(dialogs.Transcript()[0].text, "Não há estado cadastrado.");
  EXPECT_EQ(dialogs.Transcript()[1].text, "Servidor indisponível");
  EXPECT_TRUE(events.empty());
}

TEST_F(SearchFixture, APlainOnClickReplacesTheSearch) {
  button.OnClick = [this](tk::TComponent&) { events.push_back("click"); };
  button.OnBeforePesq = [this](tk::TComponent&, bool&) { events.push_back("before"); };
  tk::Application().Perform([&] { button.Click(); });
  EXPECT_EQ(events, (std::vector<std::string>{"click"}));
}

TEST_F(SearchFixture, PesquisaListaWritesTheChosenValuesAndKeepsTheSelectionOnCancel) {
  cds.SetData(States());
  std::string selection = "SP";
  dialogs.ScriptPick(tk::PickAnswer::Rows({2, 0}));
  EXPECT_TRUE(comp::PesquisaLista(&source, "SGESTADO", "Estado", false, selection));
  EXPECT_EQ(selection, "MG,SP");
  EXPECT_EQ(dialogs.Transcript()[0].kind, tk::DialogEvent::Kind::PickMany);

  dialogs.ScriptPick(tk::PickAnswer::Cancel());
  EXPECT_FALSE(comp::PesquisaLista(&source, "SGESTADO", "Estado", false, selection));
  EXPECT_EQ(selection, "MG,SP");

  dialogs.ScriptPick(tk::PickAnswer::Rows({}));
  comp::PesquisaLista(&source, "SGESTADO", "Estado", false, selection);
  EXPECT_EQ(selection, "");
}

}  // namespace
