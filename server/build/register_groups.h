#pragma once
// The register groups of a file, in file order. Each builds its lines from
// the fiscal tables and hands them on one by one; the table below is the one
// place that says which groups a file has and in what order.
#include <functional>
#include <string>
#include <vector>

#include "lib/sql/session.h"
#include "server/build/file_request.h"
#include "server/build/register_lines.h"

namespace server {

struct GroupContext {
  sql::Session& session;
  const FileRequest& request;
  const Informant& informant;
  const RegisterLines& lines;
  const std::string& where;               // " WHERE …" over the documents n of the request
  const std::vector<sql::Param>& params;  // the parameters of `where`
  const std::function<void(const std::string&)>& put;
  const RegisterSelection& selected;  // the groups of the file
};

// Refuses the file when the validators would refuse this document or CFOP.
void CheckDocument(const GroupContext& g, const DocumentHead& d, const std::string& cfop);

struct RegisterGroup {
  const char* name;                 // "50"
  bool RegisterSelection::*chosen;  // the flag of the request that asks for it
  void (*build)(const GroupContext& g);
};

void Build50(const GroupContext& g);
void Build51(const GroupContext& g);
void Build53(const GroupContext& g);
void Build54(const GroupContext& g);
void Build55(const GroupContext& g);
void Build60(const GroupContext& g);
void Build61(const GroupContext& g);
void Build70(const GroupContext& g);
void Build74(const GroupContext& g);
void Build75(const GroupContext& g);
void Build88WithoutMovement(const GroupContext& g);
void Build88Stock(const GroupContext& g);

// The informant's own rows of the period: :EMP, :IE, :INI and :FIM.
std::vector<sql::Param> PeriodParams(const GroupContext& g);
// A file of the substitute, or one that undoes operations, reports only
// the notes (and transport documents) of those operations.
bool OnlyDocumentsOfOperations(const GroupContext& g);
// The states the request chose, "SP,RJ", or nullopt for all.
std::optional<std::string> ChosenStates(const GroupContext& g);
// " AND (:UFS IS NULL OR <column> is one of them)".
std::string StatesFilter(const std::string& column);

// In the order of the file.
inline const std::vector<RegisterGroup>& RegisterGroups() {
  static const std::vector<RegisterGroup> groups = {
      {"50", &RegisterSelection::r50, Build50},
      {"51", &RegisterSelection::r51, Build51},
      {"53", &RegisterSelection::r53, Build53},
      {"54", &RegisterSelection::r54, Build54},
      {"55", &RegisterSelection::r55, Build55},
      {"60", &RegisterSelection::r60, Build60},
      {"61", &RegisterSelection::r61, Build61},
      {"70", &RegisterSelection::r70, Build70},
      {"74", &RegisterSelection::r74, Build74},
      {"75", &RegisterSelection::r75, Build75},
      {"88", &RegisterSelection::r88_without_movement, Build88WithoutMovement},
      {"88", &RegisterSelection::r88_st, Build88Stock}};
  return groups;
}

}  // namespace server
