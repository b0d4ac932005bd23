#pragma once
// POST /v1/import (docs/protocol.md): the documents of a company brought in
// through the server, from wherever the client is. The body is one file as
// the client has it (an XML document, a zip archive of them, or with
// kind=magnetic another system's magnetic file to merge), spooled to disk as
// it arrives; the answer is a line of JSON per file as it is done, then the
// summary. The rules, transactions and refusals are those of
// `mag-server import` and `import-file`.
#include <functional>
#include <string>

#include "server/http/http_front.h"
#include "server/rpc/config.h"
#include "server/rpc/methods.h"

namespace server {

// Whether a request is one whose body the front spools (its method and path).
bool IsImportRequest(const http::Request& request);

// Answers an import request; runs as long as the import does (call it on a
// thread of its own). `log` takes the details a user does not read.
// `who` is recorded in the audit with what the import did.
void ServeImport(const ServerConfig& config, const http::Request& request, const http::Respond& respond,
                 const CallerInfo& who, const std::function<void(const std::string&)>& log);

}  // namespace server
