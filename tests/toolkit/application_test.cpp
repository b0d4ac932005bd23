#include <gtest/gtest.h>

#include "host/toolkit/application.h"
#include "host/toolkit/headless_dialogs.h"

namespace {

class TestForm : public tk::TForm {
 public:
  explicit TestForm(tk::TComponent* owner) : tk::TForm(owner, "TTestForm", "frmTest") {
    SetFormStyle(tk::TFormStyle::fsMDIChild);
    SetVisible(true);
  }
  static inline int activations = 0;
  static inline int destroyed = 0;
  ~TestForm() override { ++destroyed; }
};

struct ApplicationFixture : ::testing::Test {
  tk::HeadlessDialogs dialogs;
  void SetUp() override {
    tk::Application().SetDialogs(&dialogs);
    TestForm::activations = TestForm::destroyed = 0;
  }
  void TearDown() override {
    tk::Application().DestroyAllForms();
    tk::Application().SetDialogs(nullptr);
  }
};

TEST_F(ApplicationFixture, PerformShowsErrorsOfUserActionsAndKeepsAbortsSilent) {
  EXPECT_TRUE(tk::Application().Perform([] {}));
  EXPECT_FALSE(tk::Application().Perform([] { tk::Abort(); }));
  EXPECT_FALSE(tk::Application().Perform([] { throw std::runtime_error("Falha na conexão."); }));
  EXPECT_FALSE(tk::Application().Perform([] { throw 42; }));
  std::vector<tk::DialogEvent> expected = {{tk::DialogEvent::Kind::Error, "Falha na conexão.", {}},
                                           {tk::DialogEvent::Kind::Error, "Erro desconhecido.", {}}};
  EXPECT_EQ(dialogs.Transcript(), expected);
}

TEST_F(ApplicationFixture, FormsAreActivatedOnceAndReleasedAfterTheRunningHandler) {
  TestForm* first = nullptr;
  TestForm* second = nullptr;
  tk::Application().CreateForm(first);
  first->OnActivate = [](tk::TComponent&) { ++TestForm::activations; };
  tk::Application().CreateForm(second);
  first->Show();
  first->Show();
  EXPECT_EQ(TestForm::activations, 1);
  EXPECT_EQ(tk::Application().ActiveForm(), first);

  first->OnClose = [](tk::TComponent&, tk::TCloseAction& action) { action = tk::TCloseAction::caFree; };
  tk::Application().Perform([&] {
    first->Close();
    EXPECT_EQ(TestForm::destroyed, 0);  // still alive while its handler runs
  });
  EXPECT_EQ(TestForm::destroyed, 1);
  EXPECT_EQ(tk::Application().Forms().size(), 1u);

  second->Close();  // a child window without a handler is minimized, not freed
  EXPECT_EQ(second->WindowState(), tk::TWindowState::wsMinimized);
}

TEST_F(ApplicationFixture, AFormWhoseCreationFailsIsDestroyedAndItsReferenceCleared) {
  struct FailingForm : TestForm {
    explicit FailingForm(tk::TComponent* owner) : TestForm(owner) {
      OnCreate = [](tk::TComponent&) { throw std::runtime_error("boom"); };
    }
  };
  FailingForm* form = nullptr;
  EXPECT_THROW(tk::Application().CreateForm(form), std::runtime_error);
  EXPECT_EQ(form, nullptr);
  EXPECT_TRUE(tk::Application().Forms().empty());
}

TEST_F(ApplicationFixture, PickListsTakeScriptedAnswersByRowOrValue) {
  tk::PickList list{"Estado", {{"Sigla", 2}}, {{"MG"}, {"RJ"}, {"SP"}}, {}};
  dialogs.ScriptPick(tk::PickAnswer::Value("RJ"));
  dialogs.ScriptPick(tk::PickAnswer::Values({"SP", "MG"}));
  dialogs.ScriptPick(tk::PickAnswer::Cancel());
  dialogs.ScriptPick(tk::PickAnswer::Row(7));
  EXPECT_EQ(dialogs.PickOne(list), 1u);
  EXPECT_EQ(dialogs.PickMany(list), (std::vector<std::size_t>{0, 2}));
  EXPECT_EQ(dialogs.PickOne(list), std::nullopt);
  EXPECT_THROW(dialogs.PickOne(list), tk::UnscriptedDialog);
  EXPECT_THROW(dialogs.PickOne(list), tk::UnscriptedDialog);  // nothing scripted any more
}

TEST_F(ApplicationFixture, TheScreenCursorTellsItsChanges) {
  std::vector<int> seen;
  const auto id = tk::Application().Screen().CursorChanged.Connect([&](int c) { seen.push_back(c); });
  tk::Application().Screen().SetCursor(tk::crHourGlass);
  tk::Application().Screen().SetCursor(tk::crHourGlass);
  tk::Application().Screen().SetCursor(tk::crDefault);
  tk::Application().Screen().CursorChanged.Disconnect(id);
  EXPECT_EQ(seen, (std::vector<int>{-11, 0}));
}

}  // namespace
