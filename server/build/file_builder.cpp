#include "server/build/file_builder.h"

#include <cctype>
#include <stdexcept>

#include "lib/layout/document_numbers.h"
#include "lib/layout/document_rules.h"
#include "server/build/document_rows.h"
#include "server/build/register_groups.h"
#include "server/build/register_models.h"
#include "server/build/side_by_side.h"

namespace server {
namespace {

// The documents of the request: the informant's, inside the period, of the
// book and of the states asked for. A file that undoes operations (purpose 5)
// holds only the documents of operations that did not take place.
const std::string kDocumentFilter =
    " n.CDEMPRESA = :EMP AND n.CDINSCESTA = :IE AND n.DTDOCUMENTO BETWEEN :INI AND :FIM"
    " AND (CAST(:LIVRO AS VARCHAR(10)) IS NULL OR n.CDLIVROMAG = :LIVRO)" +
    StatesFilter("n.SGESTADOPART") +
    " AND (CAST(:SOCANC AS VARCHAR(1)) IS NULL OR n.IDSITUACAO IN ('S', 'X')) ";

std::vector<sql::Param> FilterParams(const FileRequest& r, const std::vector<std::string>& states) {
  std::string ufs;
  for (const auto& uf : states) ufs += (ufs.empty() ? "" : ",") + uf;
  return {{"EMP", r.company},
          {"IE", r.registration},
          {"INI", r.first_day},
          {"FIM", r.last_day},
          {"LIVRO", r.book.empty() ? std::nullopt : std::optional<std::string>(r.book)},
          {"UFS", ufs.empty() ? std::nullopt : std::optional<std::string>(ufs)},
          {"SOCANC", r.purpose == '5' ? std::optional<std::string>("S") : std::nullopt}};
}

}  // namespace

void CheckDocument(const GroupContext& g, const DocumentHead& d, const std::string& cfop) {
  if (const std::string problem = DocumentProblem(d, cfop, g.informant.uf); !problem.empty())
    throw FileRefused(Describe(d) + ": " + problem + ".");
}

namespace {

// A value of the establishment's own registry that the file cannot carry.
[[noreturn]] void RefuseRegistry(const layout::Breach& breach) {
  std::string words = breach.words;
  words[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(words[0])));
  throw FileRefused(words + ": corrija o cadastro antes de gerar o arquivo.");
}

}  // namespace

// The informant and the documents' filter of a request.
struct FileBuilder::Prepared {
  Informant informant;
  std::vector<std::string> states;
  std::vector<sql::Param> params;
};

FileBuilder::Prepared FileBuilder::Prepare(const FileRequest& r) {
  const auto informant_rows = session_.Query(
      "SELECT e.NMEMPRESA, i.NRINSJURIEST, i.CDINSCESTA, i.SGESTADO, i.NMMUNICIPIO, i.NRFAX, i.DSLOGRADOURO,"
      " i.NRLOGRADOURO, i.DSCOMPLEMENTO, i.NMBAIRRO, i.NRCEP, i.NMCONTATO, i.NRTELEFONE"
      " FROM INSCRESTAD i JOIN EMPRESA e ON e.CDEMPRESA = i.CDEMPRESA"
      " WHERE i.CDEMPRESA = :EMP AND i.CDINSCESTA = :IE",
      {{"EMP", r.company}, {"IE", r.registration}});
  if (informant_rows.rows.empty()) throw std::invalid_argument("unknown registration " + r.registration);
  const sql::Row& e = informant_rows.rows[0];
  Informant informant{Str(e[1]), Str(e[2]), Str(e[0]), Str(e[4]),  Str(e[3]),  Str(e[5]), Str(e[6]),
                      Str(e[7]), Str(e[8]), Str(e[9]), Str(e[10]), Str(e[11]), Str(e[12])};

  if (const auto breach = layout::InformantNumberBreach(informant.cnpj)) RefuseRegistry(*breach);
  std::vector<std::string> states = r.states;
  if (!r.substitute.empty()) {
    // A file of the substitute reports, under the substitute's registration,
    // the operations with the state that gave it.
    const auto st = session_.Query(
        "SELECT SGESTADO FROM INSCRSUBST WHERE CDEMPRESA = :EMP AND CDINSCESTA = :IE AND CDINSCESTAST = :ST",
        {{"EMP", r.company}, {"IE", r.registration}, {"ST", r.substitute}});
    if (st.rows.empty()) throw std::invalid_argument("unknown substitute registration " + r.substitute);
    informant.ie = r.substitute;
    states = {Str(st.rows[0][0])};
  }
  // Register 10 carries the registration of the state it is filed in.
  const std::string ie_state = r.substitute.empty() ? informant.uf : states.front();
  if (const auto breach =
          layout::InformantIeBreach(layout::WrittenStateRegistration(informant.ie), ie_state)) {
    RefuseRegistry(*breach);
  }

  return {informant, states, FilterParams(r, states)};
}

namespace {

// Counts the lines handed on, by register type in the order they come, for
// the totals of register 90.
class CountingSink : public LineSink {
 public:
  explicit CountingSink(LineSink& out) : out_(out) {}
  void Line(const std::string& line) override {
    out_.Line(line);
    const std::string type = line.substr(0, 2);
    if (type == "10" || type == "11" || type == "90") return;
    if (counts.empty() || counts.back().first != type) counts.emplace_back(type, 0);
    ++counts.back().second;
  }
  // Groups hand on single lines; blocks only pass through the stores.
  void Block(std::int64_t, const std::string&) override {
    throw std::logic_error("a register group handed on a block of lines");
  }
  std::vector<std::pair<std::string, long>> counts;

 private:
  LineSink& out_;
};

// Passes on blocks of lines already counted.
class PassingSink : public LineSink {
 public:
  explicit PassingSink(LineSink& out) : out_(out) {}
  void Line(const std::string& line) override {
    out_.Line(line);
    ++lines;
  }
  void Block(std::int64_t count, const std::string& packed) override {
    out_.Block(count, packed);
    lines += count;
  }
  long lines = 0;

 private:
  LineSink& out_;
};

}  // namespace

long FileBuilder::Build(const FileRequest& r, LineSink& out) {
  Prepared prepared = Prepare(r);
  Informant& informant = prepared.informant;
  const std::vector<std::string>& states = prepared.states;
  const std::vector<sql::Param>& params = prepared.params;
  FileHeader header{r.first_day, r.last_day, r.version, '3', r.purpose};
  bool own_state = states.empty();
  for (const auto& uf : states) own_state = own_state || uf == informant.uf;
  header.nature = own_state ? '3' : '2';

  PassingSink file(out);
  file.Line(lines_.R10(informant, header));
  if (r.purpose != '5') file.Line(lines_.R11(informant));

  const std::string where = std::string(" WHERE") + kDocumentFilter;
  const RegisterSelection selected = SelectRegisters(r.file_type, r.mask);
  std::vector<const RegisterGroup*> groups;
  for (const RegisterGroup& group : RegisterGroups())
    if (selected.*group.chosen) groups.push_back(&group);
  // Each group counts its own lines: the counts are joined in file order.
  std::vector<std::vector<std::pair<std::string, long>>> counts(groups.size());
  std::vector<FilePart> parts;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    parts.push_back([&, i](sql::Session& session, LineSink& group_out) {
      // The lines stored while other groups were read went to the log:
      // folded into the database first, they cost this group's reads
      // nothing, where each page read would search the log (a quarter of a
      // 5M-line build, measured with perf).
      session.Checkpoint();
      CountingSink counted(group_out);
      const std::function<void(const std::string&)> put = [&](const std::string& line) {
        counted.Line(line);
      };
      groups[i]->build(GroupContext{session, r, informant, lines_, where, params, put, selected});
      counts[i] = std::move(counted.counts);
    });
  }
  RunSideBySide(parts, session_, more_sessions_, threads_, file);

  std::vector<std::pair<std::string, long>> all;
  for (const auto& group : counts) {
    for (const auto& [type, n] : group) {
      if (!all.empty() && all.back().first == type) {
        all.back().second += n;
      } else {
        all.emplace_back(type, n);
      }
    }
  }
  for (const std::string& line : lines_.R90(informant, all, file.lines)) file.Line(line);
  return file.lines;
}

std::vector<std::string> FileBuilder::Problems(const FileRequest& r) {
  const Prepared prepared = Prepare(r);
  std::vector<std::string> problems;
  session_.QueryEach(
      std::string("SELECT ") + kDocumentColumns +
          ", i.CDCFOP, MIN(i.NRITEM), MAX(i.NRITEM), COUNT(i.NRITEM)"
          " FROM NOTAFISCAL n LEFT JOIN NOTAFISCALITEM i ON i.NRSEQNOTA = n.NRSEQNOTA WHERE" +
          kDocumentFilter + " AND n.CDMODELO IN " + SqlList(kModels50) + " GROUP BY " + kDocumentGroup +
          ", i.CDCFOP ORDER BY " + kDocumentOrder,
      prepared.params, [&](const sql::Row& row) {
        const DocumentHead doc = Head(row);
        const std::size_t c = kDocumentColumnCount;
        std::string problem = DocumentProblem(doc, Str(row[c]), prepared.informant.uf);
        if (problem.empty() && Int(row[c + 3]) == 0 && !WithoutValues(doc)) problem = "não tem itens";
        if (problem.empty() && Int(row[c + 3]) > 0 && (Int(row[c + 1]) < 1 || Int(row[c + 2]) > 990))
          problem = "tem itens fora de 001 a 990";
        if (!problem.empty()) problems.push_back(Describe(doc) + ": " + problem + ".");
      });
  return problems;
}

std::vector<std::string> FileBuilder::Warnings(const FileRequest& r) {
  const Prepared prepared = Prepare(r);
  std::vector<std::string> warnings;
  const auto warn = [&](std::string_view rule, const std::string& what) {
    warnings.push_back("warning " + std::string(rule) + " (" + std::string(layout::RuleNamed(rule).says) +
                       "): " + what);
  };
  if (r.first_day.substr(0, 7) != r.last_day.substr(0, 7))
    warn("period-months", "the period " + r.first_day + " to " + r.last_day + " spans several months");
  const Informant& i = prepared.informant;
  if (r.purpose != '5' && Digits(i.number).find_first_not_of('0') == std::string::npos &&
      i.complement.find_first_not_of(' ') == std::string::npos) {
    warn("address", "the establishment's address has neither a street number nor a complement");
  }
  return warnings;
}

}  // namespace server
