#include "server/import/import_run.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <set>
#include <thread>

#include "server/import/dfe_reader.h"

namespace server::import {
namespace {

namespace fs = std::filesystem;

// No authorised document comes near this: a larger file is not one.
constexpr std::uintmax_t kLargestDocument = 64u << 20;

bool EndsWith(const std::string& name, const std::string& suffix) {
  if (name.size() < suffix.size()) return false;
  return std::equal(suffix.rbegin(), suffix.rend(), name.rbegin(),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

// What the reading side hands the writing side, in the order of the run: a
// document read and parsed, or a file refused before it was one.
struct Parsed {
  std::string name;
  std::optional<DfeContent> content;  // empty: refused
  std::string refusal;
  bool counted = true;  // a document file (files += 1), not a path that could not be read
};

// The parsed documents between the two sides, a bounded number at a time.
class ParsedQueue {
 public:
  // Blocks while the queue is full; false once the writing side stopped.
  bool Push(Parsed parsed) {
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] { return queue_.size() < kCapacity || stopped_; });
    if (stopped_) return false;
    queue_.push_back(std::move(parsed));
    ready_.notify_one();
    return true;
  }
  // The next one; nullopt once the reading side is done and the queue empty.
  std::optional<Parsed> Pop() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [&] { return !queue_.empty() || done_; });
    if (queue_.empty()) return std::nullopt;
    Parsed parsed = std::move(queue_.front());
    queue_.pop_front();
    room_.notify_one();
    return parsed;
  }
  void Done() {
    std::lock_guard lock(mutex_);
    done_ = true;
    ready_.notify_all();
  }
  void Stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    room_.notify_all();
  }
  bool Stopped() {
    std::lock_guard lock(mutex_);
    return stopped_;
  }

 private:
  static constexpr std::size_t kCapacity = 64;
  std::mutex mutex_;
  std::condition_variable ready_, room_;
  std::deque<Parsed> queue_;
  bool done_ = false;
  bool stopped_ = false;
};

// The reading side: walks the paths, reads each document file (or zip
// entry) and parses it, on a thread of its own while the writing side
// stores the ones before.
class Reader {
 public:
  Reader(const Informant& informant, ParsedQueue& queue) : informant_(informant), queue_(queue) {}

  void Path(const std::string& path) {
    if (queue_.Stopped()) return;
    std::error_code error;
    if (fs::is_directory(path, error)) {
      // Each directory once, by device and inode: a link back up (a -> .)
      // would walk the same tree again, and again below it.
      struct stat seen;
      if (stat(path.c_str(), &seen) != 0 || !directories_.emplace(seen.st_dev, seen.st_ino).second) {
        skipped_links.push_back(path);
        return;
      }
      // Entries in name order: the same directory imports the same way twice.
      std::vector<fs::path> entries;
      for (const auto& entry : fs::directory_iterator(path, error)) entries.push_back(entry.path());
      std::sort(entries.begin(), entries.end());
      for (const fs::path& entry : entries) {
        if (queue_.Stopped()) return;
        const std::string name = entry.string();
        if (fs::is_directory(entry, error) || EndsWith(name, ".xml") || EndsWith(name, ".zip")) Path(name);
      }
      return;
    }
    if (!fs::is_regular_file(path, error)) return Refuse(path, "o arquivo não existe ou não pode ser lido");
    if (EndsWith(path, ".zip")) return Archive(path);
    const std::uintmax_t size = fs::file_size(path, error);
    if (error || size > kLargestDocument)
      return Refuse(path, "o arquivo não pode ser lido ou passa de 64 MiB");
    std::ifstream in(path, std::ios::binary);
    std::string bytes(static_cast<std::size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
      return Refuse(path, "o arquivo não pode ser lido");
    Document(path, bytes);
  }

  std::vector<std::string> skipped_links;

 private:
  void Archive(const std::string& path) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (!archive) {
      zip_error_t error;
      zip_error_init_with_code(&error, code);
      const std::string reason = zip_error_strerror(&error);
      zip_error_fini(&error);
      return Refuse(path, "o arquivo zip não pode ser aberto: " + reason);
    }
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t k = 0; k < count && !queue_.Stopped(); ++k) {
      zip_stat_t stat;
      if (zip_stat_index(archive, static_cast<zip_uint64_t>(k), 0, &stat) != 0 || !stat.name) continue;
      const std::string name = path + ":" + stat.name;
      if (!EndsWith(stat.name, ".xml")) continue;
      if (stat.size > kLargestDocument) {
        Refuse(name, "o arquivo passa de 64 MiB");
        continue;
      }
      std::string bytes(static_cast<std::size_t>(stat.size), '\0');
      zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(k), 0);
      const zip_int64_t read = file ? zip_fread(file, bytes.data(), bytes.size()) : -1;
      if (file) zip_fclose(file);
      if (read != static_cast<zip_int64_t>(bytes.size())) {
        Refuse(name, "o arquivo não pode ser lido do zip");
        continue;
      }
      Document(name, bytes);
    }
    zip_close(archive);
  }

  void Document(const std::string& name, const std::string& bytes) {
    Parsed parsed{name, std::nullopt, {}, true};
    try {
      parsed.content = ReadDfe(bytes, informant_);
    } catch (const ImportRefused& e) {
      parsed.refusal = e.what();
    }
    queue_.Push(std::move(parsed));
  }

  void Refuse(const std::string& name, const std::string& reason) {
    queue_.Push(Parsed{name, std::nullopt, reason, false});
  }

  const Informant& informant_;
  ParsedQueue& queue_;
  std::set<std::pair<dev_t, ino_t>> directories_;
};

// The writing side: stores each parsed document in its own transaction, in
// the order the reading side found them, and says what became of it.
class Run {
 public:
  Run(sql::Session& session, DfeStore& store, const ImportOutput& output)
      : session_(session), store_(store), output_(output) {}

  // Takes what the reading side hands over until it is done, or the run
  // stops (a database failure, the client gone): then the reading side is
  // told to stop.
  void Write(ParsedQueue& queue) {
    while (auto parsed = queue.Pop()) {
      if (!summary_.stopped.empty()) continue;
      if (!parsed->counted) {
        Refuse(parsed->name, parsed->refusal);
        continue;
      }
      Document(*parsed);
      if (!summary_.stopped.empty()) queue.Stop();
    }
  }

  void Cancellations() {
    for (const auto& [name, cancellation] : cancellations_) {
      if (!summary_.stopped.empty()) return;
      Outcome outcome = Outcome::Unchanged;
      if (!InTransaction(name, [&] { outcome = store_.Cancel(cancellation); })) continue;
      ++(outcome == Outcome::Unchanged ? summary_.unchanged : summary_.cancelled);
      output_.result(name, outcome == Outcome::Unchanged ? "unchanged" : "cancelled",
                     "cancelamento da chave " + cancellation.key);
    }
  }

  ImportSummary& summary() { return summary_; }

 private:
  void Document(Parsed& parsed) {
    const std::string& name = parsed.name;
    if (!output_.go_on()) {
      summary_.stopped = name;
      summary_.interrupted = true;
      return;
    }
    ++summary_.files;
    if (!parsed.content) {
      Refuse(name, parsed.refusal);
    } else if (auto* ignored = std::get_if<Ignored>(&*parsed.content)) {
      ++summary_.ignored;
      output_.note("ignorado: " + name + ": " + ignored->reason);
      output_.result(name, "ignored", ignored->reason);
    } else if (auto* cancellation = std::get_if<Cancellation>(&*parsed.content)) {
      cancellations_.emplace_back(name, std::move(*cancellation));
    } else {
      const auto& document = std::get<ImportedDocument>(*parsed.content);
      Outcome outcome = Outcome::Unchanged;
      bool cancelled = false;
      const bool stored = InTransaction(name, [&] {
        outcome = store_.Store(document);
        // A document that brings its own cancellation is cancelled with it.
        cancelled = document.cancellation && store_.Cancel(*document.cancellation) != Outcome::Unchanged;
      });
      if (stored) Stored(name, document, outcome, cancelled);
    }
    output_.progress(summary_);
  }

  // Counts a document written, and says so.
  void Stored(const std::string& name, const ImportedDocument& document, Outcome outcome, bool cancelled) {
    ++(outcome == Outcome::Imported  ? summary_.imported
       : outcome == Outcome::Updated ? summary_.updated
                                     : summary_.unchanged);
    if (cancelled) ++summary_.cancelled;
    summary_.service_items += static_cast<std::size_t>(document.service_items);
    std::string reason;
    if (cancelled) reason = "cancelado pelo próprio arquivo";
    if (document.service_items > 0) {
      reason += (reason.empty() ? "" : "; ") + std::to_string(document.service_items) +
                " item(ns) de serviço (ISSQN) deixado(s) de fora";
    }
    output_.result(name,
                   outcome == Outcome::Imported  ? "imported"
                   : outcome == Outcome::Updated ? "updated"
                                                 : "unchanged",
                   reason);
  }

  // Runs `write` in the file's own transaction; false when it did not
  // commit (the file refused, or the run stopped).
  template <typename F>
  bool InTransaction(const std::string& name, F&& write) {
    try {
      sql::Transaction transaction(session_, sql::Transaction::Intent::Write);
      store_.BeginFile();
      write();
      transaction.Commit();
      return true;
    } catch (const ImportRefused& e) {
      Refuse(name, e.what());
    } catch (const sql::DatabaseError& e) {
      // The database is not the file's fault: the run stops rather than
      // refuse every file after this one for the same reason.
      summary_.stopped = name + ": " + e.what();
      output_.log("database error at " + name + ": " + e.detail());
      output_.result(name, "failed", std::string("erro do banco de dados: ") + e.what());
    }
    return false;
  }

  void Refuse(const std::string& name, const std::string& reason) {
    ++summary_.refused;
    output_.note("recusado: " + name + ": " + reason);
    output_.result(name, "refused", reason);
  }

  sql::Session& session_;
  DfeStore& store_;
  const ImportOutput& output_;
  ImportSummary summary_;
  std::vector<std::pair<std::string, Cancellation>> cancellations_;
};

}  // namespace

ImportSummary ImportDocuments(sql::Session& session, DfeStore& store, const std::vector<std::string>& paths,
                              const ImportOutput& output) {
  Run run(session, store, output);
  ParsedQueue queue;
  Reader reader(store.informant(), queue);
  // What the reading side could not say as a refusal ends the run, as it
  // would have on one thread, once the documents before it are written.
  std::exception_ptr reading_failed;
  std::thread reading([&] {
    try {
      for (const std::string& path : paths) reader.Path(path);
    } catch (...) {
      reading_failed = std::current_exception();
    }
    queue.Done();
  });
  try {
    run.Write(queue);
  } catch (...) {
    queue.Stop();
    reading.join();
    throw;
  }
  reading.join();
  if (reading_failed) std::rethrow_exception(reading_failed);
  run.summary().skipped_links = reader.skipped_links;
  run.Cancellations();
  return run.summary();
}

std::string DescribeSummary(const ImportSummary& s) {
  std::string text =
      "arquivos: " + std::to_string(s.files) + "\n" + "importados: " + std::to_string(s.imported) + "\n" +
      "atualizados: " + std::to_string(s.updated) + "\n" + "cancelados: " + std::to_string(s.cancelled) +
      "\n" + "ignorados: " + std::to_string(s.unchanged + s.ignored) + " (" + std::to_string(s.unchanged) +
      " já importados sem mudança, " + std::to_string(s.ignored) + " eventos que não mudam o arquivo)\n" +
      "recusados: " + std::to_string(s.refused) + "\n";
  if (s.service_items > 0)
    text += "itens de serviço (ISSQN) deixados de fora: " + std::to_string(s.service_items) + "\n";
  for (const std::string& link : s.skipped_links) text += "pasta já lida, não lida de novo: " + link + "\n";
  if (!s.stopped.empty()) {
    text += (s.interrupted ? "a importação foi interrompida antes de "
                           : "a importação parou por um erro do banco de dados em ") +
            s.stopped + "; os arquivos seguintes não foram lidos\n";
  }
  return text;
}

}  // namespace server::import
