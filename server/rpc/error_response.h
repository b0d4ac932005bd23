#pragma once
// An answer in the protocol's error body: its kind and the user's words.
#include <string>

#include "lib/wire/rpc.h"
#include "server/http/http_front.h"

namespace server {

// `status` 0: the one that goes with the kind.
inline http::Response ErrorResponse(wire::ErrorKind kind, const std::string& message, int status = 0) {
  http::Response r;
  r.status = status ? status : wire::ErrorStatus(kind);
  r.body = wire::EncodeError({kind, message});
  return r;
}

}  // namespace server
