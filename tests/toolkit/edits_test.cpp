#include <gtest/gtest.h>

#include "host/toolkit/application.h"
#include "host/toolkit/edits.h"
#include "host/toolkit/headless_dialogs.h"
#include "host/toolkit/user_input.h"

namespace {

class TestForm : public tk::TForm {
 public:
  explicit TestForm(tk::TComponent* owner) : tk::TForm(owner, "TTestForm", "frmTest") { SetVisible(true); }
};

struct EditFixture : ::testing::Test {
  TestForm form{nullptr};
  tk::TEdit& edit = form.Create<tk::TEdit>("edtText");
  tk::TMaskEdit& mask = form.Create<tk::TMaskEdit>("medCode");
  std::vector<std::string> changes;
  void SetUp() override {
    edit.SetParent(&form);
    mask.SetParent(&form);
    edit.OnChange = [this](tk::TComponent& s) { changes.push_back(s.Name() + "=" + edit.Text()); };
    mask.OnChange = [this](tk::TComponent& s) { changes.push_back(s.Name() + "=" + mask.Text()); };
  }
};

TEST_F(EditFixture, WritingADifferentTextRunsOnChangeBeforeReturningAndTheSameTextRunsNothing) {
  edit.SetText("abc");
  EXPECT_EQ(changes, (std::vector<std::string>{"edtText=abc"}));  // the handler saw the new text
  edit.SetText("abc");
  edit.Clear();
  edit.Clear();  // clearing an empty field is no change
  EXPECT_EQ(changes, (std::vector<std::string>{"edtText=abc", "edtText="}));
}

TEST_F(EditFixture, ProgramWritesAreKeptWholeWhileTypingStopsAtMaxLengthInCharacters) {
  edit.SetMaxLength(3);
  edit.SetText("abcdef");
  EXPECT_EQ(edit.Text(), "abcdef");
  edit.SetText("");
  for (char32_t c : std::u32string(U"çãõx")) edit.KeyPress(c);
  EXPECT_EQ(edit.Text(), "çãõ");
}

TEST_F(EditFixture, KeyPressHandlerMayDiscardTheKeyOrRaiseAndNothingIsInserted) {
  edit.OnKeyPress = [](tk::TComponent&, char32_t& key) {
    if (key == U'*') key = U'\0';
    if (key == U'/') throw std::runtime_error("no slash");
  };
  edit.KeyPress(U'a');
  edit.KeyPress(U'*');
  EXPECT_THROW(edit.KeyPress(U'/'), std::runtime_error);
  edit.KeyPress(U'b');
  EXPECT_EQ(edit.Text(), "ab");
  edit.Paste("/*");  // pasting bypasses the key filter
  EXPECT_EQ(edit.Text(), "ab/*");
  edit.KeyPress(tk::kBackspace);
  EXPECT_EQ(edit.Text(), "ab/");
}

struct MaskCase {
  const char* mask;
  const char* typed;
  const char* text;     // what the program reads
  const char* display;  // what the field shows
};

void PrintTo(const MaskCase& c, std::ostream* out) {
  *out << "mask \"" << c.mask << "\" typed \"" << c.typed << "\"";
}

class MaskTyping : public ::testing::TestWithParam<MaskCase> {};

TEST_P(MaskTyping, TypedKeysFillTheSlotsTheMaskAccepts) {
  TestForm form(nullptr);
  auto& field = form.Create<tk::TMaskEdit>("medField");
  field.SetEditMask(GetParam().mask);
  field.SetSelection(0, 0);
  for (char c : std::string(GetParam().typed)) field.KeyPress(static_cast<char32_t>(c));
  EXPECT_EQ(field.Text(), GetParam().text);
  EXPECT_EQ(field.DisplayText(), GetParam().display);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskTyping,
    ::testing::Values(MaskCase{"99;0; ", "", "", "  "}, MaskCase{"99;0; ", "1", "1", "1 "},
                      MaskCase{"99;0; ", "123", "12", "12"}, MaskCase{"99;0; ", "a1b", "1", "1 "},
                      MaskCase{"9999999999;1; ", "", "          ", "          "},
                      MaskCase{"9999999999;1; ", "123", "123       ", "123       "},
                      MaskCase{"99/9999;1; ", "122026", "12/2026", "12/2026"},
                      MaskCase{"99/9999;1; ", "12/2026", "12/2026", "12/2026"},
                      MaskCase{"99/9999;0;_", "1220", "1220", "12/20__"},
                      MaskCase{">LL;0; ", "sp", "SP", "SP"}),
    [](const ::testing::TestParamInfo<MaskCase>& param) { return "case" + std::to_string(param.index); });

TEST_F(EditFixture, MaskedProgramWritesGoThroughTheMaskAndCompareByText) {
  mask.SetEditMask("99;0; ");
  changes.clear();
  mask.SetText("01");
  mask.SetText("01");
  mask.SetText("");
  mask.SetText("");
  EXPECT_EQ(changes, (std::vector<std::string>{"medCode=01", "medCode="}));
  EXPECT_THROW(mask.SetEditMask("99;2; "), std::invalid_argument);
}

TEST_F(EditFixture, TypingReplacesTheTextSelectedWhenTheFieldTakesTheFocus) {
  tk::HeadlessDialogs dialogs;
  tk::Application().SetDialogs(&dialogs);
  edit.SetText("old");
  mask.SetEditMask("99;0; ");
  mask.SetText("12");
  tk::UserInput user(form);
  EXPECT_TRUE(user.Fill(edit, "new"));
  EXPECT_TRUE(user.Fill(mask, "7"));
  EXPECT_TRUE(user.Fill(edit, ""));
  EXPECT_EQ(edit.Text(), "");
  EXPECT_EQ(mask.Text(), "7");
  tk::Application().SetDialogs(nullptr);
}

TEST(ComboBox, ChoosingAnItemWritesItsTextAndTypedKeysGoThroughTheFilter) {
  TestForm form(nullptr);
  auto& combo = form.Create<tk::TComboBox>("cbbList");
  combo.SetItems({"one", "two "});
  int changes = 0;
  combo.OnChange = [&](tk::TComponent&) { ++changes; };
  combo.OnKeyPress = [](tk::TComponent&, char32_t& key) { key = U'\0'; };
  combo.SelectItem(1);
  combo.SelectItem(1);
  combo.KeyPress(U'x');
  EXPECT_EQ(combo.Text(), "two ");
  EXPECT_EQ(combo.ItemIndex(), 1);
  EXPECT_EQ(changes, 1);
  EXPECT_THROW(combo.SelectItem(2), std::out_of_range);
}

}  // namespace
