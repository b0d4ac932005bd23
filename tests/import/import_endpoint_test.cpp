// Documents brought in through the server (POST /v1/import): the same
// outcomes as `mag-server import`, a line per file as it is done, then the
// summary.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>

#include "tests/import/import_support.h"
#include "tests/support/server_process.h"

namespace {

const std::string kTarget = "/v1/import?company=01&registration=244005621111";

class ImportEndpoint : public ::testing::Test {
 protected:
  void SetUp() override {
    database_ = TestDatabase("endpoint");
    PrepareDatabase(database_, {"--init-demo"});
    scratch_ = std::filesystem::temp_directory_path() / ("mag_endpoint_" + std::to_string(getpid()));
    std::filesystem::create_directories(scratch_);
  }
  void TearDown() override {
    DropTestDatabase(database_);
    std::filesystem::remove_all(scratch_);
  }
  // The shapes of documents real folders hold, in one archive.
  std::string ShapesArchive() const {
    const std::string archive = (scratch_ / "notas.zip").string();
    int error = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(MAG_TEST_DATA) + "/import-shapes")) {
      if (entry.path().extension() != ".xml") continue;
      zip_file_add(zip, entry.path().filename().c_str(), zip_source_file(zip, entry.path().c_str(), 0, -1),
                   0);
    }
    zip_close(zip);
    return ReadText(archive);
  }
  std::string database_;
  std::filesystem::path scratch_;
};

TEST_F(ImportEndpoint, AnArchiveGetsALinePerFileThenTheSummary) {
  ServerProcess server(database_, {});
  httplib::Client http("127.0.0.1", server.port());
  http.set_read_timeout(60);
  const auto reply = http.Post(kTarget + "&file=notas.zip", ShapesArchive(), "application/zip");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(reply->get_header_value("Content-Type"), "application/x-ndjson");
  const std::string& body = reply->body;
  const char* const lines[] = {
      R"j({"file":"notas.zip:nfe-conjugada.xml","outcome":"imported","reason":"1 item(ns) de serviço (ISSQN) deixado(s) de fora"})j",
      R"j({"file":"notas.zip:cte-cancelado-101.xml","outcome":"imported","reason":"cancelado pelo próprio arquivo"})j",
      R"j({"file":"notas.zip:nfe-latin1.xml","outcome":"imported","reason":""})j",
      R"j({"file":"notas.zip:nfe-utf8-invalido.xml","outcome":"refused","reason":"o byte 0xE9 na posição 1841 não é UTF-8 válido (o arquivo se declara UTF-8)"})j",
      R"j({"file":"notas.zip:cancelamento-nfe-antigo.xml","outcome":"cancelled","reason":"cancelamento da chave 35260411222333000262550010000002031102030407"})j",
  };
  for (const char* line : lines)
    EXPECT_NE(body.find(std::string(line) + "\n"), std::string::npos) << line << "\n" << body;
  EXPECT_EQ(std::count(body.begin(), body.end(), '\n'), 13) << body;  // 12 files and the summary
  EXPECT_NE(body.find(R"j({"summary":{"cancelled":5,"files":12,"ignored":0,"imported":8,"refused":1,)j"),
            std::string::npos)
      << body;
  EXPECT_NE(body.find(R"j("text":"arquivos: 12\nimportados: 8\natualizados: 0\ncancelados: 5\n)j"),
            std::string::npos)
      << body;
  // The same archive again changes nothing.
  const auto again = http.Post(kTarget + "&file=notas.zip", ShapesArchive(), "application/zip");
  ASSERT_TRUE(again);
  EXPECT_NE(again->body.find(R"("imported":0,"refused":1,"service_items":1,"stopped":"","unchanged":11)"),
            std::string::npos)
      << again->body;
}

TEST_F(ImportEndpoint, OneDocumentAMagneticFileAndWrongRequests) {
  ServerProcess server(database_, {"--max-import-body", "100000"});
  httplib::Client http("127.0.0.1", server.port());
  const std::string xml = ReadText(Fixture("nfe-saida-dois-itens-frete.xml"));
  const auto one = http.Post(kTarget + "&file=" + httplib::detail::encode_query_param("saída 101.xml"), xml,
                             "application/xml");
  ASSERT_TRUE(one);
  EXPECT_EQ(one->status, 200);
  EXPECT_EQ(one->body.substr(0, one->body.find('\n')),
            R"({"file":"saída 101.xml","outcome":"imported","reason":""})");
  // A magnetic file to merge that the checker refuses.
  const auto merge = http.Post(kTarget + "&kind=magnetic&file=pdv.txt", "10 not a file\r\n", "text/plain");
  ASSERT_TRUE(merge);
  EXPECT_EQ(merge->status, 200);
  EXPECT_NE(
      merge->body.find(R"({"file":"pdv.txt","outcome":"refused","reason":"the file has no register 90"})"),
      std::string::npos)
      << merge->body;
  const struct {
    const char* name;
    std::string target;
    std::string body;
    int status;
    const char* says;
  } wrong[] = {
      {"no registration", "/v1/import?company=01", xml, 400, "needs the company and the registration"},
      {"unknown registration", "/v1/import?company=01&registration=999", xml, 400, "999"},
      {"no body", kTarget, "", 400, "takes the file as the request body"},
      {"unknown kind", kTarget + "&kind=photos", xml, 400, "kind 'photos'"},
      {"larger than --max-import-body", kTarget, std::string(100001, 'x'), 413, "larger than 100000 bytes"},
  };
  for (const auto& c : wrong) {
    const auto reply = http.Post(c.target, c.body, "application/octet-stream");
    ASSERT_TRUE(reply) << c.name;
    EXPECT_EQ(reply->status, c.status) << c.name << ": " << reply->body;
    EXPECT_NE(reply->body.find(c.says), std::string::npos) << c.name << ": " << reply->body;
  }
  const auto get = http.Get(kTarget);
  ASSERT_TRUE(get);
  EXPECT_EQ(get->status, 405);
}

}  // namespace
