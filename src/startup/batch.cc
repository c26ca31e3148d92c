#include "startup/batch.h"

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "boleto/boleto_run.h"
#include "db/caching_database.h"
#include "db/database_identity.h"
#include "db/dialect.h"
#include "db/error_report.h"
#include "db/odbc_database.h"
#include "ledger/batch_recording.h"
#include "platform/characters.h"
#include "platform/messages.h"
#include "platform/outside_text.h"
#include "platform/text.h"
#include "print/page_folder.h"
#include "print/page_pipeline.h"
#include "startup/argument_text.h"
#include "startup/batch_progress.h"
#include "startup/command_line.h"
#include "startup/company_parameters.h"
#include "startup/read_ahead.h"
#include "startup/start_up.h"
#include "validation/eligibility.h"
#include "validation/installment_key.h"

namespace boleto {
namespace {

// The argument text must reach the end of the installment's columns.
constexpr size_t kInstallmentEndColumn = 117;
// Composed pages waiting for the drawing thread: enough to ride over a slow
// query or a slow page, few enough that their forms (some 50 KB each) stay
// a small part of the batch's memory.
constexpr size_t kWaitingPages = 32;

// One installment of the batch, from its line to its recording.
struct Entry {
  size_t line_number = 0;
  // How every report names it: its line, then the installment as the clerk
  // reads it ("linha 3: 01 01 DM 1 1003/01").
  std::string key_text;
  std::unique_ptr<RecordingMessages> messages = std::make_unique<RecordingMessages>();
  // Once its page is composed, what its recording reads: the run state
  // itself goes with the page.
  KeptInstallment kept;
  PrintedBoleto printed;
  // The errors shown on the way that did not stop the installment (its
  // bank's name could not be read): it is printed, and counted with an error.
  std::vector<Error> errors_shown;
  // How drawing its page went: written by the drawing thread, read once the
  // pipeline has finished. A page never drawn counts as failed.
  Status page = MakeError(error_number::kPrinterFailure, "The page was not drawn");
  bool error_counted = false;  // among the installments with an error
};

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
  // The installment of `ctx` checked as a single run checks it, then
  // composed and handed to the drawing thread with `entry`; kPrinted once
  // handed over.
  RunOutcome CheckAndCompose(RunContext& ctx, Entry& entry);
  // The bank settings of `ctx` without the payer, shared with every earlier
  // installment whose account's settings are equal.
  std::shared_ptr<const BankSettings> SharedAccount(const RunContext& ctx);
  // The connection of the database `identity` names (DatabaseIdentity) in
  // `dialect`, which gives it its savepoints; opened with `connect_string`
  // the first time.
  CachingDatabase* Connection(const std::string& identity, const std::string& connect_string,
                              Dialect dialect, Error& error);
  // Unless the line at `index` was read ahead already: reads ahead for it
  // and the lines after it of the same connect string, dialect and document
  // series, up to kReadAheadInstallments.
  void ReadAheadFrom(size_t index, const RunParameters& params, Dialect dialect,
                     const InstallmentKey& key, CachingDatabase& db);
  void Say(const std::string& line);
  // The progress line on a terminal: `done` of `total` lines or recordings.
  void Progress(size_t done, size_t total, bool force = false);
  void RecordAll();
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
  // By DatabaseIdentity and dialect: two spellings of one database share a
  // connection.
  std::map<std::pair<std::string, Dialect>, std::unique_ptr<CachingDatabase>> connections_;
  std::map<std::string, Error> failed_connections_;
  std::set<std::tuple<std::string, std::string, std::string, std::string, std::string, std::string,
                      std::string>>
      seen_;
  std::vector<std::unique_ptr<Entry>> drawn_;
  std::vector<std::string> lines_;  // the batch file's, decoded
  std::set<size_t> read_ahead_;     // indexes of lines whose queries were read ahead
  // The latest settings of each bank, agency, account and portfolio.
  std::map<std::tuple<std::string, std::string, std::string, std::string>,
           std::shared_ptr<const BankSettings>>
      accounts_;
  size_t printed_ = 0;
  size_t refused_ = 0;
  size_t errors_ = 0;
  BatchProgress progress_{BatchProgress::Clock::now()};
  bool progress_shown_ = false;
};

void Batch::Say(const std::string& line) {
  if (progress_shown_) std::fputs("\r\033[K", log_);  // the progress line goes
  progress_shown_ = false;
  std::fprintf(log_, "%s\n", TerminalSafe(line).c_str());
}

void Batch::Progress(size_t done, size_t total, bool force) {
  if (!live_) return;
  const std::optional<std::string> line =
      progress_.Update(BatchProgress::Clock::now(), done, total, drawn_.size(), force);
  if (!line) return;
  std::fprintf(log_, "\r\033[K%s", line->c_str());
  std::fflush(log_);
  progress_shown_ = true;
}

CachingDatabase* Batch::Connection(const std::string& identity, const std::string& connect_string,
                                   Dialect dialect, Error& error) {
  if (auto open = connections_.find({identity, dialect}); open != connections_.end()) {
    return open->second.get();
  }
  if (auto failed = failed_connections_.find(identity); failed != failed_connections_.end()) {
    error = failed->second;
    return nullptr;
  }
  Result<std::unique_ptr<Database>> opened = OpenOdbcDatabase(connect_string, dialect);
  if (!opened.ok()) {
    error = opened.error();
    failed_connections_.emplace(identity, error);
    return nullptr;
  }
  auto cached = std::make_unique<CachingDatabase>(std::move(opened).value());
  return connections_.emplace(std::pair(identity, dialect), std::move(cached)).first->second.get();
}

void Batch::ReadAheadFrom(size_t index, const RunParameters& params, Dialect dialect,
                          const InstallmentKey& key, CachingDatabase& db) {
  if (read_ahead_.erase(index) > 0) return;
  std::vector<InstallmentKey> keys = {key};
  std::vector<size_t> indexes = {index};
  // The lines that follow as long as they name the same series the same
  // way (another spelling of the connect string ends the run).
  for (size_t next = index + 1; next < lines_.size() && keys.size() < kReadAheadInstallments;
       ++next) {
    const std::string& text = lines_[next];
    if (CharacterCount(text) < kInstallmentEndColumn || ControlCharacterInFields(text)) break;
    const RunParameters other = ParseArgumentText(text);
    if (other.connect_string != params.connect_string ||
        ParseDialect(other.database_type) != dialect) {
      break;
    }
    InstallmentKey other_key = NormalizeInstallmentKey(other);
    if (other_key.codigo_emp != key.codigo_emp || other_key.codigo_unidade != key.codigo_unidade ||
        other_key.codigo_documento != key.codigo_documento || other_key.serie != key.serie) {
      break;
    }
    keys.push_back(std::move(other_key));
    indexes.push_back(next);
  }
  if (keys.size() == 1) return;  // one installment asks its own queries
  ReadAhead(db, dialect, keys);
  read_ahead_.clear();
  read_ahead_.insert(indexes.begin() + 1, indexes.end());
}

std::shared_ptr<const BankSettings> Batch::SharedAccount(const RunContext& ctx) {
  BankSettings account = AccountSettings(ctx);
  std::shared_ptr<const BankSettings>& shared =
      accounts_[{account.banco_cobranca, account.agencia_cobranca, account.conta_cobranca,
                 account.carteira_sr}];
  if (shared == nullptr || *shared != account) {
    shared = std::make_shared<const BankSettings>(std::move(account));
  }
  return shared;
}

RunOutcome Batch::CheckAndCompose(RunContext& ctx, Entry& entry) {
  switch (LoadCompanyParameters(ctx)) {
    case CompanyOutcome::kLoaded:
      break;
    case CompanyOutcome::kNoRow:
      return RunOutcome::kRefused;
    case CompanyOutcome::kErrorReported:
      return RunOutcome::kErrorReported;
  }
  Eligibility eligibility = CheckInstallmentEligibility(ctx);
  entry.errors_shown = std::move(eligibility.errors_shown);
  switch (eligibility.outcome) {
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
    ReportError(*ctx.messages, ready.error(), "");
    return RunOutcome::kErrorReported;
  }
  // The page carries its entry: its outcome is that installment's.
  const InstallmentKey& k = ctx.key;  // its file, when each page is one
  pages_->Add([page = std::shared_ptr<const ComposedPage>(std::move(page)), drawn = &entry,
               file = PageFileName(k.codigo_emp, k.codigo_unidade, k.codigo_documento, k.serie,
                                   k.numero, k.parcela)](PrintJob& job) {
    job.NamePage(file, &drawn->page);
    drawn->page = DrawComposedPage(job, *page);
    return drawn->page;
  });
  return RunOutcome::kPrinted;
}

bool Batch::DrawLine(size_t line_number, const std::string& text) {
  const std::string where = "linha " + std::to_string(line_number) + ": ";
  // A blank line (a file ends with one often) names nothing.
  if (TrimBlanks(text).empty()) return false;
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
  RunContext ctx;
  ctx.params = ParseArgumentText(text);
  ctx.decimal_mark = ".";
  ctx.messages = entry->messages.get();
  ctx.destination = destination_;
  ctx.preview = preview_;
  const InstallmentKey key = NormalizeInstallmentKey(ctx.params);
  entry->key_text = where + InstallmentKeyText(key);
  const std::optional<Dialect> dialect = ParseDialect(ctx.params.database_type);
  if (!dialect) {
    Say(entry->key_text + ": dialeto desconhecido \"" + ctx.params.database_type + "\"");
    ++refused_;
    return false;
  }
  ctx.dialect = *dialect;
  // A repeat is one installment of one database, however its line spells it.
  const std::string database = DatabaseIdentity(ctx.params.connect_string);
  const bool first = seen_
                         .emplace(database, key.codigo_emp, key.codigo_unidade,
                                  key.codigo_documento, key.serie, key.numero, key.parcela)
                         .second;
  if (!first) {
    Say(entry->key_text + ": repetida, impressa uma só vez");
    return false;
  }

  Error failure;
  CachingDatabase* db = Connection(database, ctx.params.connect_string, ctx.dialect, failure);
  ctx.db = db;
  if (ctx.db == nullptr) {
    ReportError(*ctx.messages, failure, kStartUpContext);
    Say(entry->key_text + ": " + OneLine(*entry->messages));
    ++errors_;
    return false;
  }
  ReadAheadFrom(line_number - 1, ctx.params, ctx.dialect, key, *db);
  const RunOutcome outcome = CheckAndCompose(ctx, *entry);
  if (outcome == RunOutcome::kPrinted) {
    entry->kept = KeepForRecording(ctx, SharedAccount(ctx));
    // An error that did not stop the installment (its bank's name could not
    // be read) is shown now; the page goes on to be printed and recorded, as
    // in a single run.
    if (!entry->errors_shown.empty()) {
      Say(entry->key_text + ": " + OneLine(*entry->messages));
      CountError(*entry);
    }
    drawn_.push_back(std::move(entry));
    return true;
  }
  const std::string said = OneLine(*entry->messages);
  Say(entry->key_text + ": " + (said.empty() ? "nada a imprimir" : said));
  if (outcome == RunOutcome::kErrorReported || !entry->errors_shown.empty()) {
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
    ReportError(*entry->messages, entry->page.error(), "");
    Say(entry->key_text + ": " + OneLine(*entry->messages));
    CountError(*entry);
  }
  drawn_ = std::move(kept);
}

void Batch::RecordAll() {
  std::vector<BatchInstallment> installments;
  installments.reserve(drawn_.size());
  for (const auto& entry : drawn_) {
    installments.push_back({.printed = &entry->printed, .kept = &entry->kept});
  }
  size_t done = 0;
  RecordBatch(installments, InstallmentAmountDue,
              {.tried = [&] { Progress(++done, drawn_.size()); },
               .settled =
                   [&](const BatchInstallment& installment) {
                     // The installments stand in the order of their entries.
                     Entry& entry = *drawn_[&installment - installments.data()];
                     switch (installment.outcome) {
                       case RecordingOutcome::kRecorded:
                         ++printed_;
                         if (!live_) Say(entry.key_text + ": impresso");
                         break;
                       case RecordingOutcome::kChanged:
                         Say(entry.key_text + ": " + OneLine(*entry.messages));
                         ++refused_;
                         break;
                       case RecordingOutcome::kFailed:
                         Say(entry.key_text + ": " + OneLine(*entry.messages));
                         CountError(entry);
                         break;
                     }
                   }});
}

int Batch::Run(std::istream& input) {
  std::vector<std::string>& lines = lines_;
  for (std::string line; std::getline(input, line);) {
    // The byte-order mark Notepad writes at the start of a UTF-8 file.
    if (lines.empty() && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(DecodeArgumentText(line));
  }
  // A read that failed part-way is not the end of the file: nothing of a
  // batch cut short is printed.
  if (input.bad()) {
    Say("boleto-sr: o lote não pôde ser lido até o fim; nada foi impresso");
    return kExitUsage;
  }
  // The job is named by its pages once they are counted, at delivery.
  const PageDestination destination{destination_.output_file, destination_.printer_name, "Boletos",
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

  // The job belongs to the drawing thread until it is finished.
  pages_ = std::make_unique<PagePipeline>(std::move(job_), kWaitingPages);
  for (size_t i = 0; i < lines.size(); ++i) {
    DrawLine(i + 1, lines[i]);
    Progress(i + 1, lines.size());
  }
  PagePipeline::Finished finished = pages_->Finish();
  pages_.reset();
  job_ = std::move(finished.job);
  const Status& document = finished.document;
  DropUndrawn();

  if (!drawn_.empty()) {
    // One page for each installment left after the undrawn ones went.
    job_->SetJobName("Boletos (" + std::to_string(drawn_.size()) + ")");
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
      progress_.StartRecording(BatchProgress::Clock::now());
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
