#include <fstream>

#include "lib/layout/layout_check.h"

#include "tests/support/export_command.h"
#include "tests/support/screen_fixture.h"

namespace {

// The real transport, with faults put in on purpose: the server killed after
// the first page, or a first reply changed. Every GetRegistro call is recorded.
struct Tampering {
  std::function<void()> after_first_page;
  std::string status;        // replaces the first reply's status word
  bool empty_first = false;  // the first page without rows and without more pages
  std::string directory;     // replaces the output directory
  std::vector<std::tuple<std::string, double, double>> calls;  // first-page flag and range
};

class TamperingTransport : public comp::IServerTransport {
 public:
  explicit TamperingTransport(Tampering& t) : t_(t) {}
  void Connect(const std::string& host, int port, const std::string& name) override {
    inner_.Connect(host, port, name);
  }
  void Disconnect() override { inner_.Disconnect(); }
  wire::Variant Call(const std::string& method, std::vector<comp::CallArgument>& args) override {
    if (method != "GetRegistro") return inner_.Call(method, args);
    t_.calls.emplace_back(args[16].value.AsString(), args[17].value.AsDouble(), args[18].value.AsDouble());
    wire::Variant reply = inner_.Call(method, args);
    if (t_.calls.size() > 1) return reply;
    wire::VariantArray items = reply.AsArray();
    if (!t_.status.empty()) items[0] = t_.status;
    if (!t_.directory.empty()) items[2] = t_.directory;
    if (t_.empty_first) {
      wire::DataPacket packet = items[1].AsPacket();
      packet.rows.clear();
      items[1] = packet;
      items[3] = "N";
    }
    if (t_.after_first_page) t_.after_first_page();
    return items;
  }

 private:
  net::HttpTransport inner_;
  Tampering& t_;
};

struct ExportScreen : ScreenFixture {
  static inline std::string out;
  static void SetUpTestSuite() {
    database_ = TestDatabase("export_screen");
    out = std::filesystem::temp_directory_path() / ("mag_export_screen_" + std::to_string(getpid()));
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    PrepareDatabase(database_, {"--init-demo", "--demo-volume", "20001"});
    server_ = std::make_unique<ServerProcess>(database_, std::vector<std::string>{"--output-dir", out});
  }
  static void TearDownTestSuite() {
    ScreenFixture::TearDownTestSuite();
    std::filesystem::remove_all(out);
  }
  comp::TransportFactory Transport() override {
    return [this] { return std::make_unique<TamperingTransport>(tampering); };
  }

  // Fills a valid screen the way the Export command accepts it.
  void FillValid(const std::string& company, const std::string& registration, const std::string& name) {
    if (company == "01") {
      F().medCdImposto->SetText("01");
    }
    F().medCdEmpresa->SetText(company);
    F().Vd_Empresa(false);
    F().medCdImposto->SetText(company == "01" ? "01" : "");
    F().edtNrInscricao->SetText(registration);
    F().depMesInicial->SetText("01/2026");
    F().depMesFinal->SetText("01/2026");
    F().cbbVersao->SelectItem(2);
    F().cbbFinalidade->SelectItem(0);
    F().edtNmArquivo->SetText(name);
    dialogs.ClearTranscript();
  }
  bool Export() { return user->Click(*F().sbtImportExport); }
  static std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  Tampering tampering;
};

TEST_F(ExportScreen, TheChecksMoveTheFocusToTheFieldAtFault) {
  EXPECT_FALSE(Export());
  EXPECT_EQ(Messages(), std::vector<std::string>{"Empresa deve ser informada.  "});
  EXPECT_EQ(Focused(), "medCdEmpresa");

  FillValid("02", "0623079040081", "x.txt");
  F().cbbVersao->SetText("");
  EXPECT_FALSE(Export());
  EXPECT_EQ(Focused(), "cbbVersao");

  // A pasted name escapes the key filter but not the Export command.
  FillValid("02", "0623079040081", "");
  user->Focus(*F().edtNmArquivo);
  user->Paste("../fora.txt");
  dialogs.ClearTranscript();
  EXPECT_FALSE(Export());
  EXPECT_EQ(Messages(), std::vector<std::string>{"O arquivo deve conter um nome válido"});
  EXPECT_EQ(Focused(), "edtNmArquivo");
  EXPECT_TRUE(tampering.calls.empty());
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(out).parent_path() / "fora.txt"));
}

TEST_F(ExportScreen, ALargeFileComesInThreePagesWithTheirFlagsAndRanges) {
  FillValid("90", "900000009008", "volume.txt");
  EXPECT_TRUE(Export());
  EXPECT_EQ(Messages(), std::vector<std::string>{"Exportação foi concluída com sucesso.  "});
  using Call = std::tuple<std::string, double, double>;
  EXPECT_EQ(tampering.calls,
            (std::vector<Call>{{"S", 0, 50000}, {"N", 50001, 100000}, {"N", 100001, 150000}}));
  const auto size = std::filesystem::file_size(out + "/volume.txt");
  EXPECT_EQ(size, kVolumeLines * 128u);
  const auto report = layout::CheckFile(out + "/volume.txt");
  EXPECT_TRUE(report.ok()) << layout::Describe(report);
  EXPECT_EQ(F().cdsRegistros->RecordCount(), kVolumeLines - 100000u);  // the last page stays loaded
}

TEST_F(ExportScreen, AServerKilledBetweenPagesLeavesTheEarlierFileAndNoPartialFile) {
  std::ofstream(out + "/killed.txt") << "the earlier file";
  tampering.after_first_page = [] { server_->Kill(); };
  FillValid("90", "900000009008", "killed.txt");
  EXPECT_FALSE(Export());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find("GetRegistro"), std::string::npos) << Messages()[0];
  EXPECT_EQ(Read(out + "/killed.txt"), "the earlier file");
  for (const auto& e : std::filesystem::directory_iterator(out)) {
    EXPECT_EQ(e.path().filename().string().rfind("killed.txt.", 0), std::string::npos)
        << e.path();  // no temporary
  }
  EXPECT_EQ(BusyCount().first, BusyCount().second);  // every busy animation closed
  // The suite's next tests need a server again.
  server_ = std::make_unique<ServerProcess>(database_, std::vector<std::string>{"--output-dir", out});
}

TEST_F(ExportScreen, AnUnknownStatusWordIsShownAndEndsTheExport) {
  for (const char* word : {"ERRO_INTERNO", "ok"}) {
    tampering = Tampering{};
    tampering.status = word;
    FillValid("02", "0623079040081", "status.txt");
    EXPECT_FALSE(Export()) << word;
    ASSERT_GE(dialogs.Transcript().size(), 2u);
    const auto plain = std::find_if(dialogs.Transcript().begin(), dialogs.Transcript().end(),
                                    [](const auto& e) { return e.kind == tk::DialogEvent::Kind::Plain; });
    ASSERT_NE(plain, dialogs.Transcript().end()) << word;
    EXPECT_EQ(plain->text, word);
    EXPECT_NE(Messages().back().find(word), std::string::npos) << word;
    EXPECT_FALSE(std::filesystem::exists(out + "/status.txt")) << word;
  }
}

TEST_F(ExportScreen, ParamAndAMissingDirectoryEndWithTheDirectoryMessage) {
  tampering.status = "PARAM";
  FillValid("02", "0623079040081", "param.txt");
  EXPECT_FALSE(Export());
  EXPECT_EQ(Messages(), std::vector<std::string>{"Diretório inválido para baixar arquivo."});
  EXPECT_FALSE(std::filesystem::exists(out + "/param.txt"));

  tampering = Tampering{};
  tampering.status = "MP_BLOQ";
  std::filesystem::remove_all(out + "/gone");
  tampering.directory = out + "/gone/";  // the directory check comes first
  FillValid("02", "0623079040081", "dir.txt");
  EXPECT_FALSE(Export());
  EXPECT_EQ(Messages(), std::vector<std::string>{"Diretório inválido para baixar arquivo."});

  // A directory without its trailing separator gets one.
  tampering = Tampering{};
  tampering.directory = out;
  FillValid("02", "0623079040081", "sem_barra.txt");
  EXPECT_TRUE(Export());
  EXPECT_TRUE(layout::CheckFile(out + "/sem_barra.txt").ok());
}

TEST_F(ExportScreen, AFirstPageWithoutRowsGivesAnEmptyFile) {
  tampering.empty_first = true;
  FillValid("02", "0623079040081", "vazio.txt");
  EXPECT_TRUE(Export());
  EXPECT_EQ(tampering.calls.size(), 1u);
  EXPECT_EQ(std::filesystem::file_size(out + "/vazio.txt"), 0u);
}

TEST_F(ExportScreen, TheInventoryAndRegister88OptionsMarkTheMaskEvenWithTheListDisabled) {
  FillValid("02", "0623079040081", "opcoes.txt");
  F().ckcInventario->SetChecked(true);
  F().depInventario->SetText("12/2025");
  F().ckcRegistro88st->SetChecked(true);
  EXPECT_TRUE(Export());
  EXPECT_FALSE(F().clbArquivos->Enabled());
  EXPECT_TRUE(layout::CheckFile(out + "/opcoes.txt").ok());
}

}  // namespace
