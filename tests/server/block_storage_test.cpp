// The lines of a request kept in blocks: any range of line numbers reads
// back exactly, blocks go when the request goes, and exports running at the
// same time do not stop one another.
#include <gtest/gtest.h>

#include <thread>

#include "lib/sql/session.h"
#include "lib/wire/block_codec.h"
#include "server/store/request_store.h"
#include "tests/support/server_client.h"
#include "tests/support/server_process.h"

namespace {

TEST(BlockCodec, LinesComeBackAsTheyWentAndDamageIsRefused) {
  const std::vector<std::string> lines = {"", "a", std::string(126, 'x'), "\xE9\xE7\r", std::string(1, '\0')};
  EXPECT_EQ(wire::UnpackLines(wire::PackLines(lines)), lines);
  EXPECT_TRUE(wire::UnpackLines(wire::PackLines({})).empty());
  for (const std::string bytes : {"", "f", "fo", "foo", "foob", "\xFF\xFE\x00"}) {
    EXPECT_EQ(wire::Base64Decode(wire::Base64Encode(bytes)), bytes);
  }
  EXPECT_EQ(wire::Base64Encode("foob"), "Zm9vYg==");
  std::string damaged = wire::PackLines(lines);
  damaged[damaged.size() / 2] = damaged[damaged.size() / 2] == 'A' ? 'B' : 'A';
  EXPECT_THROW(wire::UnpackLines(damaged), std::invalid_argument);
  EXPECT_THROW(wire::Base64Decode("Zm9v*g=="), std::invalid_argument);
  EXPECT_THROW(wire::PackLines({"a\nb"}), std::invalid_argument);
}

TEST(BlockStorage, AnyRangeOfLinesReadsBackAcrossBlockEdgesAndTheBlocksGoWithTheRequest) {
  const std::string database = TestDatabase("blocks");
  PrepareDatabase(database, {});
  auto session = sql::OpenSession(database);
  server::RequestStore store(*session);
  const auto text = [](int n) { return "line " + std::to_string(n); };
  // Single lines, a block packed elsewhere (as a group built side by side
  // hands on), then single lines again: blocks of 1000, 500, 700 and 300.
  const auto request = store.Create(
      [&](server::LineSink& out) {
        for (int n = 1; n <= 1500; ++n) out.Line(text(n));
        std::vector<std::string> block;
        for (int n = 1501; n <= 2200; ++n) block.push_back(text(n));
        out.Block(700, wire::PackLines(block));
        out.Block(0, wire::PackLines({}));
        for (int n = 2201; n <= 2500; ++n) out.Line(text(n));
      },
      1000);
  EXPECT_EQ(request.lines, 2500);
  const std::pair<std::int64_t, std::int64_t> ranges[] = {{0, 1},        {1, 1},       {999, 1001},
                                                          {1000, 2001},  {1500, 1501}, {2200, 2201},
                                                          {2400, 50000}, {2501, 2600}, {0, 2500}};
  for (const auto& [first, last] : ranges) {
    std::vector<std::int64_t> numbers;
    store.Page(request, first, last, [&](std::int64_t number, const std::string& line) {
      EXPECT_EQ(line, text(static_cast<int>(number)));
      numbers.push_back(number);
    });
    const std::int64_t from = std::max<std::int64_t>(first, 1), to = std::min<std::int64_t>(last, 2500);
    ASSERT_EQ(numbers.size(), static_cast<std::size_t>(std::max<std::int64_t>(0, to - from + 1)))
        << first << "-" << last;
    for (std::size_t i = 0; i < numbers.size(); ++i)
      EXPECT_EQ(numbers[i], from + static_cast<std::int64_t>(i));
  }
  const auto blocks = [&] {
    return session->Query("SELECT COUNT(*) FROM ARQMAGBLOCO", {}).rows[0][0].value_or("");
  };
  EXPECT_EQ(blocks(), "4");
  store.Finish(request);
  EXPECT_EQ(blocks(), "0");
  DropTestDatabase(database);
}

// Two servers on one database, the exports shared between them.
TEST(BlockStorage, EightExportsStartedTogetherAcrossTwoServersAllSucceedWithTheSerialFile) {
  const std::string database = TestDatabase("concurrent");
  PrepareDatabase(database, {"--init-demo", "--demo-volume", "4001"});
  ServerProcess server(database);
  ServerProcess other(database);
  RegistroArgs a;
  a.company = "90";
  a.registration = "900000009008";
  a.tax = "";
  // The serial file travels as plain rows, the concurrent ones packed: the
  // two encodings must give the same lines.
  const auto serial = ServerClient(server.port(), false).Fetch(a);
  ASSERT_EQ(serial.status, "OK");
  ASSERT_GT(serial.lines.size(), 20000u);
  const auto [files, failures] = FetchTogether({server.port(), other.port()}, a, 8);
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(failures[i], "") << "export " << i;
    EXPECT_EQ(files[i].status, "OK") << "export " << i;
    EXPECT_TRUE(files[i].lines == serial.lines) << "export " << i;
  }
  auto session = sql::OpenSession(database);
  EXPECT_EQ(session->Query("SELECT COUNT(*) FROM ARQMAGBLOCO", {}).rows[0][0].value_or(""), "0");
  server.Stop();
  other.Stop();
  DropTestDatabase(database);
}

}  // namespace
