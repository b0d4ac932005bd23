#include <gtest/gtest.h>

#include "host/components/client_dataset.h"

namespace {

wire::Variant Companies() {
  wire::DataPacket p;
  p.fields = {{"CDEMPRESA", wire::FieldType::String, 2},
              {"NMEMPRESA", wire::FieldType::String, 40},
              {"CDSITUCRT", wire::FieldType::String, 1},
              {"EXTRA", wire::FieldType::Float, 0}};
  p.rows = {{std::string("01"), std::string("Comércio Ltda"), std::string("3"), 1.5},
            {std::string("02"), std::string("Indústria SA"), std::monostate{}, 2.0}};
  return p;
}

struct ClientDataSetFixture : ::testing::Test {
  tk::TComponent owner{nullptr, "TForm", "frm"};
  comp::TClientDataSet& cds = owner.Create<comp::TClientDataSet>("cdsEmpresa");
  void SetUp() override {
    cds.AddField("CDEMPRESA", comp::TFieldType::ftString, 2);
    cds.AddField("NMEMPRESA", comp::TFieldType::ftString, 40);
    cds.AddField("CDSITUCRT", comp::TFieldType::ftString, 1).SetVisible(false);
  }
};

TEST_F(ClientDataSetFixture, SetDataTakesTheDefinedFieldsByNameAndWalksTheRows) {
  EXPECT_EQ(cds.FieldByName("NMEMPRESA").AsString(), "");  // never loaded: empty text
  cds.SetData(Companies());
  EXPECT_EQ(cds.RecordCount(), 2u);
  EXPECT_EQ(cds.FieldByName("cdsitucrt").AsString(), "3");
  cds.Next();
  EXPECT_EQ(cds.FieldByName("NMEMPRESA").AsString(), "Indústria SA");
  EXPECT_EQ(cds.FieldByName("CDSITUCRT").AsString(), "");  // NULL reads as empty
  cds.Next();
  EXPECT_TRUE(cds.Eof());
  EXPECT_EQ(owner.FindComponent("cdsEmpresaCDSITUCRT"), &cds.FieldByName("CDSITUCRT"));
}

TEST_F(ClientDataSetFixture, APacketWithoutADefinedFieldIsRefusedAndTheRowsStay) {
  cds.SetData(Companies());
  wire::DataPacket missing{{{"CDEMPRESA", wire::FieldType::String, 2}}, {{std::string("09")}}};
  EXPECT_THROW(cds.SetData(missing), std::runtime_error);
  EXPECT_THROW(cds.SetData(wire::Variant("not a packet")), std::runtime_error);
  EXPECT_EQ(cds.RecordCount(), 2u);
  cds.EmptyDataSet();
  EXPECT_TRUE(cds.IsEmpty());
  EXPECT_TRUE(cds.Active());
  EXPECT_EQ(cds.FieldByName("CDEMPRESA").AsString(), "");
}

TEST(ClientDataSet, FloatFieldsReadAsPlainNumbersAndStringsDefaultToTwenty) {
  tk::TComponent owner{nullptr, "TForm", "frm"};
  auto& cds = owner.Create<comp::TClientDataSet>("cdsRegistros");
  cds.AddField("SQUENCIAL", comp::TFieldType::ftFloat);
  EXPECT_EQ(cds.AddField("NOSIZE", comp::TFieldType::ftString).Size(), 20);
  cds.SetData(
      wire::DataPacket{{{"SQUENCIAL", wire::FieldType::Float, 0}, {"NOSIZE", wire::FieldType::String, 0}},
                       {{50001.0, std::string("x")}, {0.25, std::string("y")}}});
  EXPECT_EQ(cds.FieldByName("SQUENCIAL").AsString(), "50001");
  cds.Next();
  EXPECT_EQ(cds.FieldByName("SQUENCIAL").AsString(), "0.25");
}

}  // namespace
