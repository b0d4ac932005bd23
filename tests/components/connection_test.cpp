#include <gtest/gtest.h>

#include "host/components/net_connection.h"

namespace {

// Stands for the network: connects to one address only and answers an echo.
class LoopTransport : public comp::IServerTransport {
 public:
  explicit LoopTransport(std::vector<std::string>& log) : log_(log) {}
  void Connect(const std::string& host, int port, const std::string& server) override {
    log_.push_back("connect " + host + ":" + std::to_string(port) + " " + server);
    if (port != 8420) throw comp::EServerError("connection refused");
  }
  void Disconnect() override { log_.push_back("disconnect"); }
  wire::Variant Call(const std::string& method, std::vector<comp::CallArgument>& args) override {
    args.back().value = wire::Variant(std::string("changed"));
    return wire::Variant(method + "(" + args.front().value.AsString() + ")");
  }

 private:
  std::vector<std::string>& log_;
};

struct ConnectionFixture : ::testing::Test {
  std::vector<std::string> log;
  comp::TNetConnection connection{nullptr, "netArqMag"};
  void SetUp() override {
    comp::SetTransportFactory([this] { return std::make_unique<LoopTransport>(log); });
    connection.SetServerName("Mag04200.rdmArqMag");
    connection.SetThrowException(false);
    connection.BeforeConnect = [this](tk::TComponent&) {
      log.push_back("before");
      connection.SetHost("127.0.0.1");
    };
  }
  void TearDown() override { comp::SetTransportFactory({}); }
};

TEST_F(ConnectionFixture, ConnectsAfterBeforeConnectAndCarriesByReferenceArguments) {
  connection.SetPort(8420);
  connection.SetConnected(true);
  connection.SetConnected(true);  // already open: nothing happens
  EXPECT_TRUE(connection.Connected());
  std::vector<comp::CallArgument> args = {{wire::Variant("T"), false}, {wire::Variant("key"), true}};
  EXPECT_EQ(connection.AppServer().Call("GetEmpresa", args), wire::Variant("GetEmpresa(T)"));
  EXPECT_EQ(args[1].value, wire::Variant("changed"));
  connection.SetConnected(false);
  EXPECT_EQ(log,
            (std::vector<std::string>{"before", "connect 127.0.0.1:8420 Mag04200.rdmArqMag", "disconnect"}));
}

TEST_F(ConnectionFixture, AFailedConnectWithoutExceptionsMakesTheFirstCallFailNamingTheServer) {
  connection.SetPort(9999);
  connection.SetConnected(true);
  EXPECT_FALSE(connection.Connected());
  try {
    connection.AppServer().Call("GetEmpresa", std::vector<std::string>{"T"});
    FAIL() << "the call should fail";
  } catch (const comp::EServerError& e) {
    EXPECT_NE(std::string(e.what()).find("127.0.0.1:9999"), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("connection refused"), std::string::npos) << e.what();
  }
  connection.SetThrowException(true);
  EXPECT_THROW(connection.SetConnected(true), comp::EServerError);
}

TEST(Connection, WithoutAnInstalledTransportNothingConnects) {
  comp::TNetConnection connection(nullptr, "netArqMag");
  connection.SetThrowException(false);
  connection.SetConnected(true);
  EXPECT_FALSE(connection.Connected());
}

}  // namespace
