#pragma once
// What a state's file type asks beyond the national layout, where a public
// source states it (docs/protocol.md names the sources). A request that
// breaks such a rule is answered with a status text telling the user what
// the state asks; the file is not built.
#include <string>

#include "server/build/file_request.h"

namespace server {

// Empty when the request may be built.
std::string StateRule(const FileRequest& request, const RegisterSelection& selected);

}  // namespace server
