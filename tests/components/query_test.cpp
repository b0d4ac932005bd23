#include <gtest/gtest.h>

#include <filesystem>

#include "host/components/ado_query.h"
#include "host/components/db_geral.h"
#include "lib/sql/session.h"

namespace {

// A real SQLite database with a few countries and states.
struct QueryFixture : ::testing::Test {
  std::string path;
  tk::TComponent form{nullptr, "TForm", "frm"};
  comp::TADOConnection& connection = form.Create<comp::TADOConnection>("adcGeral");

  void SetUp() override {
    path = ::testing::TempDir() + "/query_test_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".db";
    std::filesystem::remove(path);
    connection.SetConnectionString("sqlite:" + path);
    connection.Session().Execute(
        "CREATE TABLE PAIS (CDPAIS VARCHAR(4) PRIMARY KEY, NMPAIS VARCHAR(30));"
        "CREATE TABLE ESTADO (CDPAIS VARCHAR(4), SGESTADO VARCHAR(2), NMESTADO VARCHAR(30));"
        "INSERT INTO PAIS VALUES ('1058', 'Brasil'), ('0249', 'Estados Unidos');"
        "INSERT INTO ESTADO VALUES ('1058', 'SP', 'São Paulo'), ('1058', 'MG', 'Minas Gerais'),"
        "                          ('1058', 'RJ', 'Rio de Janeiro'), ('0249', 'TX', 'Texas');");
  }
  void TearDown() override {
    connection.Close();
    std::filesystem::remove(path);
  }

  comp::TADOIBQuery& Query(const char* name) {
    auto& q = form.Create<comp::TADOIBQuery>(name);
    q.SetConnection(&connection);
    return q;
  }
  static std::vector<std::string> Column(comp::TADOIBQuery& q, const char* field) {
    std::vector<std::string> values;
    for (q.First(); !q.Eof(); q.Next()) values.push_back(q.FieldByName(field).AsString());
    return values;
  }
};

TEST_F(QueryFixture, AClearedParameterIsNullSoNvlSelectsEveryRow) {
  auto& pais = Query("qryPais");
  pais.SetSQL({"SELECT", "   CDPAIS,", "   NMPAIS", "FROM", "   PAIS", "WHERE",
               "   (CDPAIS =  NVL(:P_CDPAIS,CDPAIS))", "ORDER BY", "   CDPAIS"});
  pais.ParamByName("P_CDPAIS").Clear();
  pais.Open();
  EXPECT_EQ(Column(pais, "CDPAIS"), (std::vector<std::string>{"0249", "1058"}));
  pais.Close();
  pais.ParamByName("P_CDPAIS").SetAsString("1058");
  pais.Open();
  EXPECT_EQ(Column(pais, "NMPAIS"), (std::vector<std::string>{"Brasil"}));
  EXPECT_THROW(pais.ParamByName("P_OTHER"), std::out_of_range);
}

TEST_F(QueryFixture, InstrAndNvlFilterStatesAndBeforeOpenRunsFirst) {
  auto& estado = Query("qryEstado");
  estado.AddField("SGESTADO", comp::TFieldType::ftString, 2);
  estado.AddField("NMESTADO", comp::TFieldType::ftString, 30);
  estado.SetSQL({"SELECT SGESTADO, NMESTADO FROM ESTADO",
                 "WHERE (CDPAIS = :P_CDPAIS) AND (INSTR(NVL(:P_SGESTADO, SGESTADO), SGESTADO) > 0)",
                 "ORDER BY SGESTADO"});
  estado.BeforeOpen = [&](tk::TComponent&) { estado.ParamByName("P_CDPAIS").SetAsString("1058"); };
  estado.Open();
  EXPECT_EQ(Column(estado, "SGESTADO"), (std::vector<std::string>{"MG", "RJ", "SP"}));
  estado.Close();
  estado.ParamByName("P_SGESTADO").SetAsVariant(wire::Variant("SP,RJ"));
  estado.Open();
  EXPECT_EQ(Column(estado, "NMESTADO"), (std::vector<std::string>{"Rio de Janeiro", "São Paulo"}));
  estado.Close();
  estado.ParamByName("P_CDPAIS").Clear();
  estado.BeforeOpen = nullptr;
  estado.Open();  // CDPAIS = NULL matches nothing
  EXPECT_TRUE(estado.IsEmpty());
}

TEST_F(QueryFixture, TheConnectionsDialectChoosesTheTextAndFallsBackToSql) {
  auto& q = Query("qryDialect");
  q.SetSQL({"SELECT 'generic' AS WHICH"});
  q.SetSQL_MSSQL({"SELECT 'mssql' AS WHICH"});
  const std::pair<comp::TDialect, const char*> cases[] = {{comp::TDialect::Generic, "generic"},
                                                          {comp::TDialect::MsSql, "mssql"},
                                                          {comp::TDialect::Oracle, "generic"},
                                                          {comp::TDialect::InterBase, "generic"}};
  for (const auto& [dialect, expected] : cases) {
    connection.SetDialect(dialect);
    q.Close();
    q.Open();
    EXPECT_EQ(q.FieldByName("WHICH").AsString(), expected) << comp::DialectName(dialect);
  }
}

TEST_F(QueryFixture, ErrorsOfTheDatabaseNameWhatFailed) {
  auto& q = Query("qryBroken");
  q.SetSQL({"SELECT * FROM NO_SUCH_TABLE"});
  EXPECT_THROW(q.Open(), sql::DatabaseError);
  EXPECT_FALSE(q.Active());
  auto& fields = Query("qryFields");
  fields.AddField("MISSING", comp::TFieldType::ftString, 2);
  fields.SetSQL({"SELECT CDPAIS FROM PAIS"});
  EXPECT_THROW(fields.Open(), std::runtime_error);
  EXPECT_THROW(sql::OpenSession("mysql://nowhere"), sql::DatabaseError);
}

}  // namespace
