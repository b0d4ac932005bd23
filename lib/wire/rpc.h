#pragma once
// The envelopes of a remote call and their JSON encoding (docs/protocol.md).
// Nothing here knows HTTP; both the client transport and the server use it.
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "lib/wire/variant.h"

namespace wire {

// One argument of a call. By-reference arguments take back the value the
// server leaves in them.
struct Argument {
  Variant value;
  bool by_reference = false;
};

struct CallRequest {
  std::string server;  // the server object, "Mag04200.rdmArqMag"
  std::string method;
  std::vector<Argument> arguments;
};

struct CallReply {
  Variant result;
  // New values of by-reference arguments: (argument index from 0, value).
  std::vector<std::pair<std::size_t, Variant>> by_reference;
};

enum class ErrorKind {
  BadRequest,        // the body is no call (bad JSON, missing members)
  UnknownServer,     // no server object of that name
  UnknownMethod,     // the server object has no such method
  BadArguments,      // wrong number or kinds of arguments, or invalid values
  TooLarge,          // the request body (or its header block) is larger than the server takes
  ServerFailure,     // the method failed on the server (database, disk ...)
  NotFound,          // no endpoint at that path
  MethodNotAllowed,  // the endpoint exists, but not for that HTTP method
  Timeout,           // the request did not arrive whole within the server's deadline
  Unavailable,       // the server has too many connections open
  Unauthenticated,   // no credential, or a wrong one, where the server asks for one
  Forbidden          // the user's role does not allow the call
};
const char* ErrorKindName(ErrorKind kind);
// HTTP status that goes with an error kind.
int ErrorStatus(ErrorKind kind);

struct CallError {
  ErrorKind kind = ErrorKind::ServerFailure;
  std::string message;
};

// Raised by the decoders for a body that does not follow the protocol.
class ProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string EncodeRequest(const CallRequest& request);
CallRequest DecodeRequest(const std::string& body);
// How the rows of the packets in a reply travel: as JSON arrays, or packed
// into one deflated block (docs/protocol.md), which the client asks for.
enum class RowEncoding { Plain, Packed };
inline constexpr const char* kRowEncodingHeader = "X-Packet-Rows";
inline constexpr const char* kPackedRows = "packed";

std::string EncodeReply(const CallReply& reply, RowEncoding rows = RowEncoding::Plain);
std::string EncodeError(const CallError& error);
std::variant<CallReply, CallError> DecodeReply(const std::string& body);

// The answer to the handshake: the server object and its methods.
// `free_builds`: how many more files the server would build at once right
// now, for a client that makes several; left out when unknown.
std::string EncodeServerInfo(const std::string& server, const std::vector<std::string>& methods,
                             std::optional<int> free_builds = std::nullopt);
std::string DecodeServerInfo(const std::string& body);
// The handshake's free_builds, when the server says it.
std::optional<int> DecodeFreeBuilds(const std::string& body);

}  // namespace wire
