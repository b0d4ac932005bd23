#pragma once
// The answer of POST /v1/import, one JSON object per line: a line per file
// as it is done, then the summary (docs/protocol.md, "Bringing documents
// in"). The server writes the lines and the clients read them through here.
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace wire {

// One file: outcome is imported, updated, unchanged, cancelled, ignored,
// refused or failed, or for a magnetic file merged or refused.
struct ImportFileLine {
  std::string file;
  std::string outcome;
  std::string reason;  // in the user's words
};

struct ImportSummaryLine {
  std::map<std::string, long> counts;  // files, imported, refused …
  // Documents: the file a database failure stopped the run at, or empty;
  // a magnetic file's merge has none.
  std::optional<std::string> stopped;
  std::string text;  // the summary as the command prints it
};

using ImportAnswerLine = std::variant<ImportFileLine, ImportSummaryLine>;

// The line with its "\n". Bytes that are not UTF-8 are replaced.
std::string EncodeImportLine(const ImportFileLine& line);
std::string EncodeImportLine(const ImportSummaryLine& line);
// One line, with or without its "\n". Throws ProtocolError.
ImportAnswerLine DecodeImportLine(std::string_view line);

}  // namespace wire
