#pragma once
// What the server of the host's settings says of its capacity in the
// handshake: how many more files it would build at once now.
#include <optional>

namespace net {

// nullopt when the server cannot be reached or does not say.
std::optional<int> ServerFreeBuilds();

}  // namespace net
