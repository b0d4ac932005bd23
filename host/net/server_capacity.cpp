#include "host/net/server_capacity.h"

#include "host/components/host_settings.h"
#include "host/net/http_client.h"
#include "lib/wire/rpc.h"

namespace net {

std::optional<int> ServerFreeBuilds() {
  try {
    const comp::HostSettings& settings = comp::Settings();
    auto client = OpenClient(settings.ServerHost(), settings.ServerPort(), {});
    const auto answer = client->Get("/v1/servers/Mag04200.rdmArqMag");
    if (!answer || answer->status != 200) return std::nullopt;
    return wire::DecodeFreeBuilds(answer->body);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace net
