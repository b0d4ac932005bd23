#include <gtest/gtest.h>

#include "host/toolkit/buttons.h"
#include "host/toolkit/form.h"
#include "host/toolkit/static_controls.h"

namespace {

class TestForm : public tk::TForm {
 public:
  explicit TestForm(tk::TComponent* owner) : tk::TForm(owner, "TTestForm", "frmTest") {}
};

TEST(RadioButton, CheckingOneUnchecksItsSiblingsAndRunsOnlyItsOwnClick) {
  TestForm form(nullptr);
  auto& group = form.Create<tk::TGroupBox>("grbA");
  auto& other_group = form.Create<tk::TGroupBox>("grbB");
  group.SetParent(&form);
  other_group.SetParent(&form);
  auto& all = form.Create<tk::TRadioButton>("rbtAll");
  auto& list = form.Create<tk::TRadioButton>("rbtList");
  auto& elsewhere = form.Create<tk::TRadioButton>("rbtElsewhere");
  all.SetParent(&group);
  list.SetParent(&group);
  elsewhere.SetParent(&other_group);
  std::vector<std::string> clicks;
  for (auto* r : {&all, &list, &elsewhere}) {
    r->OnClick = [&clicks](tk::TComponent& s) { clicks.push_back(s.Name()); };
  }
  all.SetChecked(true);
  elsewhere.SetChecked(true);
  list.Click();
  all.SetChecked(false);  // unchecking runs nothing
  list.SetChecked(true);  // already checked
  EXPECT_FALSE(all.Checked());
  EXPECT_TRUE(list.Checked());
  EXPECT_TRUE(elsewhere.Checked());
  EXPECT_EQ(clicks, (std::vector<std::string>{"rbtAll", "rbtElsewhere", "rbtList"}));
}

TEST(CheckBox, EveryChangeOfStateRunsOnClick) {
  TestForm form(nullptr);
  auto& box = form.Create<tk::TCheckBox>("ckcOption");
  int clicks = 0;
  box.OnClick = [&](tk::TComponent&) { ++clicks; };
  box.SetChecked(true);
  box.SetChecked(true);
  box.Click();
  box.SetChecked(false);
  EXPECT_EQ(clicks, 2);
  EXPECT_FALSE(box.Checked());
}

TEST(CheckListBox, ItemsCarryTheirOwnCheckMarks) {
  TestForm form(nullptr);
  auto& list = form.Create<tk::TCheckListBox>("clbItems");
  list.SetItems({"a", "b", "c"});
  list.SetChecked(1, true);
  EXPECT_FALSE(list.Checked(0));
  EXPECT_TRUE(list.Checked(1));
  EXPECT_THROW(list.Checked(3), std::out_of_range);
  list.SetEnabled(false);
  list.ToggleByUser(0);  // a disabled list takes no input
  EXPECT_FALSE(list.Checked(0));
}

}  // namespace
