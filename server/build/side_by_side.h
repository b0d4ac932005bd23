#pragma once
// Runs the parts of a file side by side and hands their lines on in the
// parts' order: the part whose turn it is goes to the output as it finishes,
// while the later ones build into temporary files.
#include <functional>
#include <vector>

#include "lib/sql/session.h"
#include "server/build/file_request.h"
#include "server/build/line_sink.h"

namespace server {

using FilePart = std::function<void(sql::Session& session, LineSink& out)>;

// Up to `threads` parts run at once, one through `session` and the others
// through sessions `more_sessions` lends. The first part in order that throws
// ends the whole with its exception; the parts after it are abandoned, the
// parts before it have been handed on whole.
void RunSideBySide(const std::vector<FilePart>& parts, sql::Session& session,
                   const SessionSource& more_sessions, int threads, LineSink& out);

}  // namespace server
