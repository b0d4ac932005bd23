#include <gtest/gtest.h>

#include "host/toolkit/application.h"
#include "host/toolkit/buttons.h"
#include "host/toolkit/edits.h"
#include "host/toolkit/headless_dialogs.h"
#include "host/toolkit/static_controls.h"
#include "host/toolkit/user_input.h"

namespace {

class TestForm : public tk::TForm {
 public:
  explicit TestForm(tk::TComponent* owner) : tk::TForm(owner, "TTestForm", "frmTest") { SetVisible(true); }
};

// A form with three edits (tab 0..2), a radio group (tab 3) and a disabled edit
// (tab 4); every exit is logged.
struct FocusFixture : ::testing::Test {
  tk::HeadlessDialogs dialogs;
  TestForm form{nullptr};
  tk::TEdit& a = Edit("edtA", 0);
  tk::TEdit& b = Edit("edtB", 1);
  tk::TEdit& c = Edit("edtC", 2);
  tk::TGroupBox& group = form.Create<tk::TGroupBox>("grbGroup");
  tk::TRadioButton& first = Radio("rbtFirst", 1);
  tk::TRadioButton& second = Radio("rbtSecond", 2);
  tk::TEdit& off = Edit("edtOff", 4);
  std::vector<std::string> exits;
  tk::UserInput user{form};

  tk::TEdit& Edit(const char* name, int tab) {
    auto& e = form.Create<tk::TEdit>(name);
    e.SetParent(&form);
    e.SetTabOrder(tab);
    e.OnExit = [this](tk::TComponent& s) { exits.push_back(s.Name()); };
    return e;
  }
  tk::TRadioButton& Radio(const char* name, int tab) {
    auto& r = form.Create<tk::TRadioButton>(name);
    r.SetParent(&group);
    r.SetTabOrder(tab);
    return r;
  }
  void SetUp() override {
    tk::Application().SetDialogs(&dialogs);
    group.SetParent(&form);
    group.SetTabOrder(3);
    off.SetEnabled(false);
    second.SetChecked(true);
    form.FocusControl(&a);
  }
  void TearDown() override { tk::Application().SetDialogs(nullptr); }
};

TEST_F(FocusFixture, TabWalksTheEnabledControlsInTabOrderWithOneStopPerRadioGroup) {
  std::vector<std::string> visited;
  for (int i = 0; i < 5; ++i) {
    user.Tab();
    visited.push_back(form.ActiveControl()->Name());
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"edtB", "edtC", "rbtSecond", "edtA", "edtB"}));
  EXPECT_EQ(exits, (std::vector<std::string>{"edtA", "edtB", "edtC", "edtA"}));
}

TEST_F(FocusFixture, ProgramFocusMovesRunOnExitAndDisabledTargetsLeaveTheFocus) {
  b.SetFocus();
  EXPECT_EQ(exits, (std::vector<std::string>{"edtA"}));
  off.SetFocus();
  group.SetEnabled(false);
  first.SetFocus();  // disabled through its parent
  EXPECT_EQ(form.ActiveControl(), &b);
  b.SetFocus();  // already there: no exit
  EXPECT_EQ(exits.size(), 1u);
}

TEST_F(FocusFixture, AnExitThatRaisesKeepsTheFocusWhereTheHandlerLeftIt) {
  // A validator that sends the focus to another field and then fails.
  b.OnExit = [this](tk::TComponent& s) {
    exits.push_back(s.Name());
    a.SetFocus();
    throw std::runtime_error("Data final deve ser informada.");
  };
  b.SetFocus();
  exits.clear();
  EXPECT_FALSE(user.Tab());
  EXPECT_EQ(form.ActiveControl(), &a);
  EXPECT_EQ(exits,
            (std::vector<std::string>{"edtB"}));  // b's exit ran once, a's move ran no second exit of b
  ASSERT_EQ(dialogs.Transcript().size(), 1u);
  EXPECT_EQ(dialogs.Transcript()[0].text, "Data final deve ser informada.");

  c.OnExit = [](tk::TComponent&) { tk::Abort(); };
  c.SetFocus();
  EXPECT_FALSE(user.Focus(a));
  EXPECT_EQ(form.ActiveControl(), &c);
  EXPECT_EQ(dialogs.Transcript().size(), 1u);  // the abort is silent
}

TEST_F(FocusFixture, ClickingAFlatButtonLeavesTheFocusAndRunsNoExit) {
  auto& button = form.Create<tk::TButtonFlat>("sbtGo");
  button.SetParent(&form);
  int clicks = 0;
  button.OnClick = [&](tk::TComponent&) { ++clicks; };
  user.Click(button);
  button.SetEnabled(false);
  user.Click(button);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(form.ActiveControl(), &a);
  EXPECT_TRUE(exits.empty());
}

}  // namespace
