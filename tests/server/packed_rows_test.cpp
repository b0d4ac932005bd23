// Packets whose rows travel packed come back as they went; a packet that
// packing could not say exactly travels as plain rows, and damaged packed
// rows are refused.
#include <gtest/gtest.h>
#include <httplib.h>

#include "lib/wire/block_codec.h"
#include "lib/wire/rpc.h"
#include "tests/support/server_process.h"

namespace {

wire::DataPacket RoundTrip(const wire::DataPacket& packet, std::string* body = nullptr) {
  const std::string text = wire::EncodeReply({wire::Variant(packet), {}}, wire::RowEncoding::Packed);
  if (body) *body = text;
  const auto reply = wire::DecodeReply(text);
  return std::get<wire::CallReply>(reply).result.AsPacket();
}

wire::DataPacket Lines() {
  return {{{"NRSEQ", wire::FieldType::String, 10},
           {"LINHA", wire::FieldType::Bytes, 4000},
           {"ORDEM", wire::FieldType::Float, 0}},
          {}};
}

TEST(PackedRows, RowsComeBackAsPlainRowsWouldBring) {
  wire::DataPacket lines = Lines();
  lines.rows = {{std::string("7"), std::string("50\xE9\xE7 ") + std::string(120, '0'), 1.0},
                {std::string("Jo\xC3\xA3o"), std::string(), 2.5},
                {std::string(), std::string("\\\"{}"), -3e20}};
  std::string body;
  const wire::DataPacket back = RoundTrip(lines, &body);
  EXPECT_NE(body.find("\"packed\""), std::string::npos);
  EXPECT_EQ(body.find("\"rows\""), std::string::npos);
  EXPECT_EQ(back.rows, lines.rows);
  const auto plain =
      std::get<wire::CallReply>(wire::DecodeReply(wire::EncodeReply({wire::Variant(lines), {}})));
  EXPECT_EQ(plain.result.AsPacket().rows, back.rows);
}

TEST(PackedRows, WhatPackingCannotSayTravelsAsPlainRows) {
  const std::vector<std::vector<wire::Cell>> cases[] = {
      {},                                                       // no rows
      {{std::string("1"), std::monostate{}, 1.0}},              // NULL
      {{std::string("1\t2"), std::string("x"), 1.0}},           // TAB in a text
      {{std::string("1"), std::string("a\nb"), 1.0}},           // LF in a text
      {{std::string("1"), std::string("x"), std::string("1")}}  // a text in a numeric field
  };
  for (const auto& rows : cases) {
    wire::DataPacket packet = Lines();
    packet.rows = rows;
    std::string body;
    EXPECT_EQ(RoundTrip(packet, &body).rows, rows);
    EXPECT_EQ(body.find("\"packed\""), std::string::npos) << body;
  }
}

TEST(PackedRows, DamagedPackedRowsAreRefused) {
  const std::string head = R"({"result":{"kind":"packet","fields":[{"name":"A","type":"string","size":1},)"
                           R"({"name":"N","type":"float","size":0}],)";
  const std::string cases[] = {
      R"("count":1,"packed":"not base64!"})",
      R"("count":2,"packed":")" + wire::PackLines({"a\t1"}) + "\"}",  // count differs
      R"("count":1,"packed":")" + wire::PackLines({"a"}) + "\"}",     // a cell missing
      R"("count":1,"packed":")" + wire::PackLines({"a\t1\t2"}) + "\"}",
      R"("count":1,"packed":")" + wire::PackLines({"a\tx"}) + "\"}",     // no number
      R"("count":1,"packed":")" + wire::PackLines({"\xFF\t1"}) + "\"}",  // no UTF-8
      R"("packed":")" + wire::PackLines({"a\t1"}) + "\"}",               // no count
  };
  for (const std::string& packet : cases) {
    EXPECT_THROW(wire::DecodeReply(head + packet + R"(,"byref":[]})"), wire::ProtocolError) << packet;
  }
}

TEST(PackedRows, OnlyAClientThatAsksGetsThem) {
  const std::string database = TestDatabase("packed");
  PrepareDatabase(database, {"--init-demo"});
  ServerProcess server(database);
  httplib::Client http("127.0.0.1", server.port());
  const std::string call =
      wire::EncodeRequest({"Mag04200.rdmArqMag", "GetEmpresa", {{wire::Variant("01"), false}}});
  const auto asked = http.Post("/v1/call", {{"x-packet-rows", "packed"}}, call, "application/json");
  const auto plain = http.Post("/v1/call", call, "application/json");
  ASSERT_TRUE(asked && plain);
  EXPECT_NE(asked->body.find("\"packed\""), std::string::npos) << asked->body;
  EXPECT_NE(plain->body.find("\"rows\""), std::string::npos) << plain->body;
  const auto packet = [](const std::string& body) {
    return std::get<wire::CallReply>(wire::DecodeReply(body)).result.AsPacket();
  };
  EXPECT_EQ(packet(asked->body).rows, packet(plain->body).rows);
  EXPECT_FALSE(packet(plain->body).rows.empty());
  server.Stop();
  DropTestDatabase(database);
}

}  // namespace
