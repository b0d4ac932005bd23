#pragma once
// A host for the package inside the test process: headless dialogs, settings
// for the server, and a transport that records every connect and disconnect.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/components/host_settings.h"
#include "host/components/net_connection.h"
#include "host/toolkit/application.h"
#include "host/toolkit/headless_dialogs.h"
#include "package/form/frm_arqu_mag.h"
#include "package/module/globals.h"
#include "package/module/pkg_mag04200.h"

class RecordingTransport : public comp::IServerTransport {
 public:
  explicit RecordingTransport(std::vector<std::string>& log) : log_(log) {}
  void Connect(const std::string& host, int port, const std::string& server) override {
    log_.push_back("connect " + host + ":" + std::to_string(port) + " " + server);
  }
  void Disconnect() override { log_.push_back("disconnect"); }
  wire::Variant Call(const std::string& method, std::vector<comp::CallArgument>&) override {
    throw comp::EServerError("no application server in this test (" + method + ")");
  }

 private:
  std::vector<std::string>& log_;
};

struct PackageFixture : ::testing::Test {
  tk::HeadlessDialogs dialogs;
  std::vector<std::string> connections;

  void SetUp() override {
    tk::Application().SetDialogs(&dialogs);
    comp::Settings().Clear();
    comp::Settings().Override("server.host", "127.0.0.1");
    comp::Settings().Override("server.port", "8420");
    comp::SetTransportFactory([this] { return std::make_unique<RecordingTransport>(connections); });
    Initialize();
  }
  void TearDown() override {
    if (Cli_mag04200::boIdCriado) Cli_mag04200::frmArquMag->Close();
    tk::Application().ProcessMessages();
    tk::Application().DestroyAllForms();
    Finalize();
    comp::SetTransportFactory({});
    tk::Application().SetDialogs(nullptr);
    comp::Settings().Clear();
  }
  TfrmArquMag& Form() { return *Cli_mag04200::frmArquMag; }
};

// A second child window of the host, to switch to and back.
class OtherChild : public tk::TForm {
 public:
  explicit OtherChild(tk::TComponent* owner) : tk::TForm(owner, "TOtherChild", "frmOther") {
    SetFormStyle(tk::TFormStyle::fsMDIChild);
    SetVisible(true);
  }
};
