#pragma once
// The check of a GetRegistro request before anything is built: the values
// turned into the file they ask for, or the status the screen is answered
// with and why.
#include <string>
#include <variant>

#include "lib/sql/session.h"
#include "lib/wire/registro_call.h"
#include "server/build/file_request.h"

namespace server {

struct Refusal {
  std::string status;  // the reply's status: "PARAM", "MP_BLOQ" or a text for the user
  std::string detail;  // for the server's log, or empty when the status says it all
};

// The file a request asks for, or why it is refused. Reads the registrations,
// codes and fiscal maps the request names; throws sql::DatabaseError.
std::variant<FileRequest, Refusal> CheckFileRequest(sql::Session& session, const wire::RegistroRequest& call);

}  // namespace server
