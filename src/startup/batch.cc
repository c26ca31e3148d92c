#include "startup/batch.h"

#include <cctype>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "boleto/boleto_run.h"
#include "db/caching_database.h"
#include "db/dialect.h"
#include "db/odbc_database.h"
#include "ledger/recording.h"
#include "platform/characters.h"
#include "platform/messages.h"
#include "platform/outside_text.h"
#include "platform/text.h"
#include "print/page_folder.h"
#include "print/page_pipeline.h"
#include "startup/argument_text.h"
#include "startup/command_line.h"
#include "startup/company_parameters.h"
#include "validation/eligibility.h"
#include "validation/installment_key.h"

namespace boleto {
namespace {

// The argument text must reach the end of the installment's columns.
constexpr size_t kInstallmentEndColumn = 117;
// Installments recorded in one transaction: few enough that another clerk
// waits well under the lock wait for the database, many enough that the
// batch does not wait for the disk once per installment.
constexpr size_t kRecordsPerTransaction = 400;
// Installments locked and read together: a statement or two for each
// document series among them instead of two for each installment, with IN
// lists of at most this many values, well inside what every engine takes.
constexpr size_t kLockedAtOnce = 100;
// Composed pages waiting for the drawing thread: enough to ride over a slow
// query or a slow page, few enough that their forms (some 50 KB each) stay
// a small part of the batch's memory.
constexpr size_t kWaitingPages = 32;
// The progress line is rewritten at most this often.
constexpr std::chrono::milliseconds kProgressInterval{200};

// One installment of the batch, from its line to its recording.
struct Entry {
  size_t line_number = 0;
  std::string key_text;  // "01 01 DM 1 1003/01"
  RunContext ctx;
  std::unique_ptr<RecordingMessages> messages = std::make_unique<RecordingMessages>();
  PrintedBoleto printed;
  // How drawing its page went: written by the drawing thread, read once the
  // pipeline has finished. A page never drawn counts as failed.
  Status page = MakeError(error_number::kPrinterFailure, "The page was not drawn");
  bool error_counted = false;  // among the installments with an error
};

// The installment as the clerk reads it: company, unit, document, series,
// number "/" installment, each without its blanks.
std::string KeyText(const InstallmentKey& key) {
  return std::string(TrimBlanks(key.codigo_emp)) + " " +
         std::string(TrimBlanks(key.codigo_unidade)) + " " +
         std::string(TrimBlanks(key.codigo_documento)) + " " + std::string(TrimBlanks(key.serie)) +
         " " + std::string(TrimBlanks(key.numero)) + "/" + key.parcela;
}

// Every message shown for the installment on one line: the lines of each
// (the error report has five) joined by a blank, each without the blanks
// around it; messages apart by " / ".
std::string OneLine(const RecordingMessages& messages) {
  std::string joined;
  for (const RecordingMessages::Shown& shown : messages.shown) {
    std::string one;
    size_t start = 0;
    while (start <= shown.text.size()) {
      size_t end = shown.text.find_first_of("\r\n", start);
      if (end == std::string::npos) end = shown.text.size();
      const std::string_view part =
          TrimBlanks(std::string_view(shown.text).substr(start, end - start));
      if (!part.empty()) one += (one.empty() ? "" : " ") + std::string(part);
      start = end + 1;
    }
    if (!joined.empty()) joined += " / ";
    joined += one;
  }
  return joined;
}

// The server's clock is asked again once its answer is this old: the page
// prints the day it gives, and a batch draws hundreds of pages a second.
constexpr std::chrono::seconds kClockKeptFor{1};

// How long a batch may answer a query from an earlier answer: the server's
// clock for a second; never the queries that read the tables the batch
// itself or another clerk writes (the installments, their documents, the
// remittance rows and the number sequences); every other query, which reads
// settings, for the whole batch.
std::optional<CachingDatabase::Clock::duration> HowLongToKeep(const std::string& sql) {
  static const std::set<std::string> clock_queries = [] {
    std::set<std::string> queries;
    for (Dialect dialect :
         {Dialect::kOracle, Dialect::kSqlServer, Dialect::kSybaseSrv, Dialect::kSybaseAny,
          Dialect::kSqlBase, Dialect::kAccess, Dialect::kSqlite, Dialect::kPostgresql}) {
      queries.insert(ServerNowSql(dialect));
    }
    return queries;
  }();
  if (clock_queries.contains(sql)) return kClockKeptFor;
  std::string upper = sql;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  for (const char* live : {"PARCELAR", "DOCUMENTOR", "REMESSAR", "DOCNUMERO"}) {
    if (upper.find(live) != std::string::npos) return std::nullopt;
  }
  return CachingDatabase::Clock::duration::max();
}

class Batch {
 public:
  Batch(const PrintDestination& destination, bool preview, std::FILE* log, bool live)
      : destination_(destination), preview_(preview), log_(log), live_(live) {}

  int Run(std::istream& input);

 private:
  // Checks and composes the installment of one line and hands its page to
  // the drawing thread; true when it did (the entry then waits for the page
  // and for its recording).
  bool DrawLine(size_t line_number, const std::string& text);
  // The installment checked as a single run checks it, then composed and
  // handed to the drawing thread; kPrinted once handed over.
  RunOutcome CheckAndCompose(Entry& entry);
  Database* Connection(const std::string& connect_string, Dialect dialect, Error& error);
  void Say(const std::string& line);
  void Progress(const char* what, size_t done, size_t total, bool force = false);
  void RecordAll();
  // Locks and reads the installments of `entries` at once into `locked`;
  // false when that failed and nothing was locked.
  bool LockNext(Database& db, Dialect dialect, std::span<Entry* const> entries,
                std::map<std::string, RowSet>& locked);
  // Drops the entries whose pages could not be drawn, with their errors.
  void DropUndrawn();
  // Counts the installment among those with an error, once.
  void CountError(Entry& entry);

  PrintDestination destination_;
  bool preview_;
  std::FILE* log_;
  bool live_;

  std::unique_ptr<PrintJob> job_;
  std::unique_ptr<PagePipeline> pages_;
  PictureCache pictures_;
  // Per connect string and dialect: the dialect gives the connection its
  // savepoints.
  std::map<std::pair<std::string, Dialect>, std::unique_ptr<Database>> connections_;
  std::map<std::string, Error> failed_connections_;
  std::set<std::tuple<std::string, std::string, std::string, std::string, std::string, std::string,
                      std::string>>
      seen_;
  std::vector<std::unique_ptr<Entry>> drawn_;
  size_t printed_ = 0;
  size_t refused_ = 0;
  size_t errors_ = 0;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point last_progress_{};
  bool progress_shown_ = false;
};

void Batch::Say(const std::string& line) {
  if (progress_shown_) std::fputs("\r\033[K", log_);  // the progress line goes
  progress_shown_ = false;
  std::fprintf(log_, "%s\n", TerminalSafe(line).c_str());
}

void Batch::Progress(const char* what, size_t done, size_t total, bool force) {
  if (!live_) return;
  const auto now = std::chrono::steady_clock::now();
  if (!force && now - last_progress_ < kProgressInterval) return;
  last_progress_ = now;
  const double seconds = std::chrono::duration<double>(now - started_).count();
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  const long left = rate > 0 ? static_cast<long>(static_cast<double>(total - done) / rate) : 0;
  std::fprintf(log_, "\r\033[K%s %zu/%zu  %.0f boletos/s  restam %ld:%02ld", what, done, total,
               rate, left / 60, left % 60);
  std::fflush(log_);
  progress_shown_ = true;
}

Database* Batch::Connection(const std::string& connect_string, Dialect dialect, Error& error) {
  if (auto open = connections_.find({connect_string, dialect}); open != connections_.end()) {
    return open->second.get();
  }
  if (auto failed = failed_connections_.find(connect_string); failed != failed_connections_.end()) {
    error = failed->second;
    return nullptr;
  }
  Result<std::unique_ptr<Database>> opened = OpenOdbcDatabase(connect_string, dialect);
  if (!opened.ok()) {
    error = opened.error();
    failed_connections_.emplace(connect_string, error);
    return nullptr;
  }
  auto cached = std::make_unique<CachingDatabase>(std::move(opened).value(), HowLongToKeep);
  return connections_.emplace(std::pair(connect_string, dialect), std::move(cached))
      .first->second.get();
}

RunOutcome Batch::CheckAndCompose(Entry& entry) {
  RunContext& ctx = entry.ctx;
  switch (LoadCompanyParameters(ctx)) {
    case CompanyOutcome::kLoaded:
      break;
    case CompanyOutcome::kNoRow:
      return RunOutcome::kRefused;
    case CompanyOutcome::kErrorReported:
      return RunOutcome::kErrorReported;
  }
  switch (CheckInstallmentEligibility(ctx)) {
    case EligibilityOutcome::kAccepted:
      break;
    case EligibilityOutcome::kRefused:
      return RunOutcome::kRefused;
    case EligibilityOutcome::kErrorReported:
      return RunOutcome::kErrorReported;
  }
  if (std::optional<RunOutcome> refused = CheckPrintDirectories(ctx)) return *refused;
  std::unique_ptr<ComposedPage> page;
  const RunOutcome composed = ComposeBoleto(ctx, &pictures_, page, entry.printed);
  if (composed != RunOutcome::kPrinted) return composed;
  if (Status ready = CheckComposedPage(*page); !ready.ok()) {
    ReportRunError(ctx, ready.error(), "");
    return RunOutcome::kErrorReported;
  }
  // The page carries its entry: its outcome is that installment's.
  pages_->Add(
      [page = std::shared_ptr<const ComposedPage>(std::move(page)), drawn = &entry](PrintJob& job) {
        const InstallmentKey& k = drawn->ctx.key;  // its file, when each page is one
        job.NamePage(PageFileName(k.codigo_emp, k.codigo_unidade, k.codigo_documento, k.serie,
                                  k.numero, k.parcela),
                     &drawn->page);
        drawn->page = DrawComposedPage(job, *page);
        return drawn->page;
      });
  return RunOutcome::kPrinted;
}

bool Batch::DrawLine(size_t line_number, const std::string& text) {
  const std::string where = "linha " + std::to_string(line_number) + ": ";
  if (TrimBlanks(text).empty()) {
    Say(where + "em branco");
    return false;
  }
  if (const size_t columns = CharacterCount(text); columns < kInstallmentEndColumn) {
    Say(where + "texto de argumento incompleto (" + std::to_string(columns) +
        " colunas; a parcela ocupa as colunas 116-117)");
    ++refused_;
    return false;
  }
  if (const std::optional<std::string> problem = ControlCharacterInFields(text)) {
    Say(where + "texto de argumento com " + *problem);
    ++refused_;
    return false;
  }
  auto entry = std::make_unique<Entry>();
  entry->line_number = line_number;
  RunContext& ctx = entry->ctx;
  ctx.params = ParseArgumentText(text);
  ctx.decimal_mark = ".";
  ctx.messages = entry->messages.get();
  ctx.destination = destination_;
  ctx.preview = preview_;
  const InstallmentKey key = NormalizeInstallmentKey(ctx.params);
  entry->key_text = KeyText(key);
  const std::optional<Dialect> dialect = ParseDialect(ctx.params.database_type);
  if (!dialect) {
    Say(where + entry->key_text + ": dialeto desconhecido \"" + ctx.params.database_type + "\"");
    ++refused_;
    return false;
  }
  ctx.dialect = *dialect;
  const bool first = seen_
                         .emplace(ctx.params.connect_string, key.codigo_emp, key.codigo_unidade,
                                  key.codigo_documento, key.serie, key.numero, key.parcela)
                         .second;
  if (!first) {
    Say(where + entry->key_text + ": repetida, impressa uma só vez");
    return false;
  }

  Error failure;
  ctx.db = Connection(ctx.params.connect_string, ctx.dialect, failure);
  if (ctx.db == nullptr) {
    ReportRunError(ctx, failure,
                   "Parâmetros não cadastrados corretamente, verifique e corrija antes de "
                   "prosseguir.");
    Say(entry->key_text + ": " + OneLine(*entry->messages));
    ++errors_;
    return false;
  }
  const RunOutcome outcome = CheckAndCompose(*entry);
  if (outcome == RunOutcome::kPrinted) {
    // An error that did not stop the installment (its bank's name could not
    // be read) is shown now; the page goes on to be printed and recorded, as
    // in a single run.
    if (ctx.error_reported) {
      Say(entry->key_text + ": " + OneLine(*entry->messages));
      CountError(*entry);
    }
    drawn_.push_back(std::move(entry));
    return true;
  }
  const std::string said = OneLine(*entry->messages);
  Say(entry->key_text + ": " + (said.empty() ? "nada a imprimir" : said));
  if (outcome == RunOutcome::kErrorReported || ctx.error_reported) {
    ++errors_;
  } else {
    ++refused_;
  }
  return false;
}

void Batch::CountError(Entry& entry) {
  if (entry.error_counted) return;
  entry.error_counted = true;
  ++errors_;
}

void Batch::DropUndrawn() {
  std::vector<std::unique_ptr<Entry>> kept;
  for (std::unique_ptr<Entry>& entry : drawn_) {
    if (entry->page.ok()) {
      kept.push_back(std::move(entry));
      continue;
    }
    ReportRunError(entry->ctx, entry->page.error(), "");
    Say(entry->key_text + ": " + OneLine(*entry->messages));
    CountError(*entry);
  }
  drawn_ = std::move(kept);
}

void Batch::RecordAll() {
  // Per connection and dialect, in the file's order: transactions of a few
  // hundred installments, each installment a transaction of its own inside
  // (or, where the database nests no transaction, only its own).
  std::map<std::pair<Database*, Dialect>, std::vector<Entry*>> by_connection;
  for (const auto& entry : drawn_) {
    by_connection[{entry->ctx.db, entry->ctx.dialect}].push_back(entry.get());
  }
  size_t done = 0;
  for (auto& [connection, entries] : by_connection) {
    Database& db = *connection.first;
    for (size_t first = 0; first < entries.size(); first += kRecordsPerTransaction) {
      const size_t last = std::min(entries.size(), first + kRecordsPerTransaction);
      std::vector<Entry*> recorded;
      Transaction transaction(db);
      const Status begun = transaction.BeginGroup();
      std::map<std::string, RowSet> locked;
      bool all_locked = false;
      for (size_t i = first; i < last; ++i) {
        Entry& entry = *entries[i];
        if (transaction.is_open() && (i - first) % kLockedAtOnce == 0) {
          all_locked =
              LockNext(db, connection.second,
                       std::span(entries).subspan(i, std::min(last - i, kLockedAtOnce)), locked);
        }
        RunOutcome outcome = RunOutcome::kErrorReported;
        if (!begun.ok()) {
          ReportRunError(entry.ctx, begun.error(), "");
        } else if (const auto row = locked.find(InstallmentRowKey(entry.ctx.key));
                   all_locked && row != locked.end()) {
          outcome = RecordBoleto(entry.ctx, entry.printed, &row->second);
        } else {
          // Not locked with the others, or not found as its line names it
          // (in another case, or gone): it locks and reads its own row.
          outcome = RecordBoleto(entry.ctx, entry.printed);
        }
        if (outcome == RunOutcome::kPrinted) {
          recorded.push_back(&entry);
        } else {
          Say(entry.key_text + ": " + OneLine(*entry.messages));
          if (outcome == RunOutcome::kRefused) {
            ++refused_;
          } else {
            CountError(entry);
          }
        }
        Progress("gravando", ++done, drawn_.size());
      }
      const Status committed = begun.ok() ? transaction.Commit() : begun;
      for (Entry* entry : recorded) {
        if (committed.ok()) {
          ++printed_;
          if (!live_) Say(entry->key_text + ": impresso");
        } else {
          ReportRunError(entry->ctx, committed.error(), "");
          entry->ctx.messages->Show(kNotRecordedMessage, MessageIcon::kExclamation);
          Say(entry->key_text + ": " + OneLine(*entry->messages));
          CountError(*entry);
        }
      }
    }
  }
}

bool Batch::LockNext(Database& db, Dialect dialect, std::span<Entry* const> entries,
                     std::map<std::string, RowSet>& locked) {
  std::vector<InstallmentKey> keys;
  for (const Entry* entry : entries) keys.push_back(entry->ctx.key);
  // In a transaction of its own: a lock that waits too long, or a read that
  // fails, is undone alone, and each installment then locks and reads its
  // own row, with its own message. (Where the database cannot undo it alone,
  // the batch's transaction goes with it, and each of its installments
  // fails.)
  Transaction attempt(db);
  if (!attempt.Begin().ok()) return false;
  Result<std::map<std::string, RowSet>> rows = LockInstallments(db, dialect, keys);
  if (!rows.ok() || !attempt.Commit().ok()) return false;
  locked = std::move(rows).value();
  return true;
}

int Batch::Run(std::istream& input) {
  std::vector<std::string> lines;
  for (std::string line; std::getline(input, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(DecodeArgumentText(line));
  }
  const PageDestination destination{destination_.output_file, destination_.printer_name,
                                    "Boletos (" + std::to_string(lines.size()) + ")",
                                    destination_.output_folder};
  if (FormatForDestination(destination) != PageFormat::kPdf) {
    Say("boleto-sr: um lote vai para um arquivo PDF ou para uma impressora, não para um PNG");
    return kExitUsage;
  }
  Result<std::unique_ptr<PrintJob>> job = PrintJob::Open(destination, /*many_pages=*/true);
  if (!job.ok()) {
    Say("boleto-sr: " + job.error().description);
    return kExitErrorReported;
  }
  job_ = std::move(job).value();
  job_->Setup();

  // The job's surface belongs to the drawing thread until it is finished.
  pages_ = std::make_unique<PagePipeline>(*job_, kWaitingPages);
  for (size_t i = 0; i < lines.size(); ++i) {
    DrawLine(i + 1, lines[i]);
    Progress("imprimindo", i + 1, lines.size());
  }
  const Status document = pages_->Finish();
  pages_.reset();
  DropUndrawn();

  if (!drawn_.empty()) {
    // A document that holds what a failed page drew is not handed over.
    const Status handed = document.ok() ? job_->CompletePage() : document;
    job_->Close();
    DropUndrawn();  // those whose own file (with --output-dir) could not be written
    if (handed.ok() && !job_->stopped_queue().empty()) {
      Say("boleto-sr: " + StoppedQueueMessage(job_->stopped_queue()));
    }
    if (!handed.ok()) {
      Say("boleto-sr: o documento não foi entregue, nada foi gravado: " +
          handed.error().description);
      for (const auto& entry : drawn_) CountError(*entry);
      drawn_.clear();
    } else if (preview_) {
      for (const auto& entry : drawn_) {
        if (!live_) Say(entry->key_text + ": impresso (prévia)");
      }
      printed_ += drawn_.size();
    } else {
      started_ = std::chrono::steady_clock::now();
      RecordAll();
    }
  } else {
    job_->Close();
  }
  Say("boleto-sr: " + std::to_string(printed_) + (preview_ ? " em prévia, " : " impressos, ") +
      std::to_string(refused_) + " recusados, " + std::to_string(errors_) + " com erro" +
      (preview_ ? "; nada foi gravado" : ""));
  if (errors_ > 0) return kExitErrorReported;
  if (refused_ > 0 || printed_ == 0) return kExitRefused;
  return kExitPrinted;
}

}  // namespace

int RunBatch(std::istream& input, const PrintDestination& destination, bool preview, std::FILE* log,
             bool live) {
  return Batch(destination, preview, log, live).Run(input);
}

}  // namespace boleto
