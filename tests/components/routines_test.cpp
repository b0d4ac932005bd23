#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "host/components/consiste.h"
#include "host/components/date_edit_plus.h"
#include "host/components/host_settings.h"
#include "host/components/messages.h"
#include "host/components/net_connection.h"
#include "host/toolkit/application.h"
#include "host/toolkit/headless_dialogs.h"
#include "lib/wire/host_date.h"

namespace {

TEST(EmptyString, BlanksCountAsEmpty) {
  EXPECT_TRUE(comp::EmptyString(""));
  EXPECT_TRUE(comp::EmptyString("          "));
  EXPECT_FALSE(comp::EmptyString(" 1 "));
}

TEST(Ajusta, BringsACodeToItsWidthWithLeadingZeros) {
  struct Case {
    const char* text;
    int width;
    const char* expected;
  } cases[] = {{"1", 2, "01"},
               {"12", 2, "12"},
               {"", 2, ""},
               {"   ", 4, ""},
               {"1 ", 2, "01"},
               {"55", 4, "0055"},
               {"123", 2, "123"},
               {"123       ", 10, "0000000123"},
               {"0000000123", 10, "0000000123"}};
  for (const Case& c : cases)
    EXPECT_EQ(comp::Ajusta(c.text, c.width), c.expected) << c.text << "/" << c.width;
}

TEST(HostDates, FirstAndLastDaysOfMonthsOnTheHostsDayCount) {
  EXPECT_EQ(wire::EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(comp::UltDiaMes(12, 1899), 1);  // the inventory date when none is given
  EXPECT_EQ(comp::PriDiaMes(wire::EncodeDate(2026, 3, 17) + 0.75), wire::EncodeDate(2026, 3, 1));
  EXPECT_EQ(comp::UltDiaMes(2, 2024), wire::EncodeDate(2024, 2, 29));
  EXPECT_EQ(comp::UltDiaMes(2, 2100), wire::EncodeDate(2100, 2, 28));
  EXPECT_EQ(wire::DecodeDate(wire::EncodeDate(2026, 12, 31)), (wire::CalendarDate{2026, 12, 31}));
  EXPECT_EQ(wire::EncodeDate(2000, 1, 1), 36526);
  EXPECT_THROW(wire::EncodeDate(2026, 13, 1), std::invalid_argument);
}

struct DialogFixture : ::testing::Test {
  tk::HeadlessDialogs dialogs;
  void SetUp() override { tk::Application().SetDialogs(&dialogs); }
  void TearDown() override { tk::Application().SetDialogs(nullptr); }
};

TEST_F(DialogFixture, MensErroShowsTheTextExactlyAndAbortsSilently) {
  EXPECT_FALSE(tk::Application().Perform([] { comp::MensErro("Empresa deve ser informada.  ", true); }));
  ASSERT_EQ(dialogs.Transcript().size(), 1u);
  EXPECT_EQ(dialogs.Transcript()[0].kind, tk::DialogEvent::Kind::Error);
  EXPECT_EQ(dialogs.Transcript()[0].text, "Empresa deve ser informada.  ");
}

TEST_F(DialogFixture, CheckResultServPassesPacketsAndReportsFailures) {
  const wire::Variant packet =
      wire::DataPacket{{{"CDEMPRESA", wire::FieldType::String, 2}}, {{std::string("01")}}};
  EXPECT_EQ(comp::CheckResultServ(packet, true, 0), packet);
  EXPECT_FALSE(tk::Application().Perform(
      [] { comp::CheckResultServ(comp::FailureReply("Empresa bloqueada"), true, 0); }));
  EXPECT_THROW(comp::CheckResultServ(comp::FailureReply("quiet"), false, 0), comp::EServerError);
  EXPECT_THROW(comp::CheckResultServ(wire::Variant("OK"), true, 0), comp::EServerError);
  ASSERT_EQ(dialogs.Transcript().size(), 1u);
  EXPECT_EQ(dialogs.Transcript()[0].text, "Empresa bloqueada");
}

TEST_F(DialogFixture, MonthFieldsReadMonthAndYearAndReportInvalidMonths) {
  comp::TDateEditPlus field(nullptr, "depMes");
  field.SetShowDia(false);
  // It opens on the current month.
  EXPECT_EQ(field.Text().size(), 7u);
  EXPECT_TRUE(field.IsValidDate() && field.GetDate() > 0);
  field.Clear();
  EXPECT_EQ(field.Text(), "");
  EXPECT_EQ(field.GetDate(), 0);
  field.CheckValidDate();  // empty is not invalid: emptiness is the caller's check
  field.SetText("02/2024");
  EXPECT_EQ(field.GetDate(), wire::EncodeDate(2024, 2, 1));
  for (const char* invalid : {"13/2026", "00/2026", "1 /2026", "12/0000"}) {
    field.SetText(invalid);
    EXPECT_FALSE(field.IsValidDate()) << invalid;
    EXPECT_FALSE(tk::Application().Perform([&] { field.CheckValidDate(); }));
  }
  EXPECT_EQ(dialogs.Transcript().back().text, "Data inválida.");
}

TEST(Messages, MsgGivesTheStoredTextAndRefusesUnknownKeys) {
  comp::TMessages messages(nullptr, "msgPadrao");
  messages.SetEntries({"Impo_Inf|Imposto deve ser informado. ", "Estado|Estado"});
  EXPECT_EQ(messages.Msg("Impo_Inf"), "Imposto deve ser informado. ");
  EXPECT_THROW(messages.Msg("impo_inf"), std::out_of_range);
  EXPECT_THROW(messages.SetEntries({"no bar"}), std::invalid_argument);
  EXPECT_THROW(messages.SetEntries({"a|1", "a|2"}), std::invalid_argument);
}

TEST(HostSettings, FileValuesGiveWayToOverridesAndBadValuesAreNamed) {
  const std::string path = ::testing::TempDir() + "/host_settings_test.conf";
  std::ofstream(path) << "# server of the office\nserver.host = fiscal.local\nserver.port=9000\n";
  comp::HostSettings settings;
  settings.LoadFile(path);
  EXPECT_EQ(settings.ServerHost(), "fiscal.local");
  EXPECT_EQ(settings.ServerPort(), 9000);
  EXPECT_EQ(settings.DatabaseUrl(), "sqlite:mag04200.db");
  settings.Override("server.port", "8421");
  EXPECT_EQ(settings.ServerPort(), 8421);
  settings.Override("server.port", "80a");
  EXPECT_THROW(settings.ServerPort(), std::runtime_error);
  settings.Override("server.port", "70000");
  EXPECT_THROW(settings.ServerPort(), std::runtime_error);
  std::ofstream(path) << "server.host\n";
  EXPECT_THROW(settings.LoadFile(path), std::runtime_error);
  settings.LoadFile(path + ".missing");  // a missing file leaves the defaults
  std::remove(path.c_str());
}

TEST(HostSettings, StoringKeepsTheFileAndRefusesBadValuesWithoutChangingAnything) {
  const std::string path = ::testing::TempDir() + "/host_settings_store.conf";
  std::ofstream(path) << "# kept\nserver.host = old # here\nother = 1\n";
  comp::HostSettings settings;
  settings.Override("server.host", "from-the-command-line");
  EXPECT_THROW(settings.Store(path, {{"server.host", "new"}, {"server.port", "0"}}), std::runtime_error);
  EXPECT_EQ(settings.ServerHost(), "from-the-command-line");
  // A directory in the way: the file cannot be written.
  EXPECT_THROW(settings.Store(::testing::TempDir(), {{"server.host", "new"}}), std::runtime_error);

  settings.Store(path, {{"server.host", "new"}, {"server.port", "9100"}});
  EXPECT_EQ(settings.ServerHost(), "new");
  EXPECT_EQ(settings.ServerPort(), 9100);
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  EXPECT_EQ(text.str(), "# kept\nserver.host = new\nother = 1\nserver.port = 9100\n");
  std::remove(path.c_str());
}

}  // namespace
