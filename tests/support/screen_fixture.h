#pragma once
// The screen on a real server and database, driven as a person would: type
// into a field, leave it, click, pick a row of a search list.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/components/db_geral.h"
#include "host/components/host_settings.h"
#include "host/net/http_transport.h"
#include "host/toolkit/application.h"
#include "host/toolkit/headless_dialogs.h"
#include "host/toolkit/user_input.h"
#include "package/form/frm_arqu_mag.h"
#include "package/module/globals.h"
#include "package/module/pkg_mag04200.h"
#include "tests/support/server_process.h"

class ScreenFixture : public ::testing::Test {
 protected:
  // One demo database and server for the whole suite: the screen only reads.
  static void SetUpTestSuite() {
    database_ = TestDatabase("screen");
    PrepareDatabase(database_, {"--init-demo"});
    server_ = std::make_unique<ServerProcess>(database_);
  }
  static void TearDownTestSuite() {
    server_.reset();
    DropTestDatabase(database_);
  }

  void SetUp() override { Open(server_->port()); }
  void TearDown() override { Shut(); }

  void Open(int port) {
    tk::Application().SetDialogs(&dialogs);
    comp::Settings().Clear();
    comp::Settings().Override("server.host", "127.0.0.1");
    comp::Settings().Override("server.port", std::to_string(port));
    comp::SetTransportFactory(Transport());
    comp::dtmDBGeral = new comp::TdtmDBGeral(nullptr);
    comp::dtmDBGeral->adcGeral->SetConnectionString(database_);
    Initialize();
    IniProc();
    user = std::make_unique<tk::UserInput>(F());
    dialogs.ClearTranscript();
  }
  void Shut() {
    user.reset();
    if (Cli_mag04200::boIdCriado) Cli_mag04200::frmArquMag->Close();
    tk::Application().ProcessMessages();
    tk::Application().DestroyAllForms();
    Finalize();
    delete comp::dtmDBGeral;
    comp::dtmDBGeral = nullptr;
    comp::SetTransportFactory({});
    tk::Application().SetDialogs(nullptr);
    comp::Settings().Clear();
  }

  virtual comp::TransportFactory Transport() { return net::HttpTransportFactory(); }

  TfrmArquMag& F() { return *Cli_mag04200::frmArquMag; }

  // Types the text over the field's text and leaves it with Tab.
  bool Enter(tk::TCustomEdit& field, const std::string& text) {
    return user->Fill(field, text) && user->Tab();
  }
  // Opens a search list and answers it.
  bool Pick(tk::TControl& button, tk::PickAnswer answer) {
    dialogs.ScriptPick(std::move(answer));
    return user->Click(button);
  }

  // The texts of the message dialogs shown so far (errors and notices).
  std::vector<std::string> Messages() const {
    std::vector<std::string> texts;
    for (const auto& e : dialogs.Transcript()) {
      if (e.kind == tk::DialogEvent::Kind::Error || e.kind == tk::DialogEvent::Kind::Information ||
          e.kind == tk::DialogEvent::Kind::Plain) {
        texts.push_back(e.text);
      }
    }
    return texts;
  }
  // How often the busy animation opened and closed.
  std::pair<int, int> BusyCount() const {
    int shown = 0, hidden = 0;
    for (const auto& e : dialogs.Transcript()) {
      shown += e.kind == tk::DialogEvent::Kind::BusyShow;
      hidden += e.kind == tk::DialogEvent::Kind::BusyHide;
    }
    return {shown, hidden};
  }
  // The last search list or state picker that opened.
  const tk::DialogEvent* LastList() const {
    const auto& t = dialogs.Transcript();
    for (auto it = t.rbegin(); it != t.rend(); ++it) {
      if (it->kind == tk::DialogEvent::Kind::PickOne || it->kind == tk::DialogEvent::Kind::PickMany)
        return &*it;
    }
    return nullptr;
  }
  std::string Focused() { return F().ActiveControl() ? F().ActiveControl()->Name() : ""; }

  tk::HeadlessDialogs dialogs;
  std::unique_ptr<tk::UserInput> user;
  static inline std::string database_;
  static inline std::unique_ptr<ServerProcess> server_;
};
