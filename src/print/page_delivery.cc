#include "print/page_delivery.h"

#include <cups/cups.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include "platform/shared_library.h"
#include "platform/text.h"
#include "print/page_file.h"
#include "print/printer_pdf.h"
#include "print/spool_file.h"
#include "print/utf8_text.h"

namespace boleto {
namespace {

// The job name where none is given.
constexpr char kJobTitle[] = "Boleto";
// Longest job name IPP carries, in bytes (a name of up to 255 octets).
constexpr size_t kJobNameBytes = 255;
// How long the check whether the print server answers at all waits for its
// connection, in milliseconds (it runs only after CUPS has failed).
constexpr int kServerCheckMilliseconds = 5000;

// What every job asks of the queue: the A4 page at its true size (a queue
// whose default paper is Letter otherwise scales it by 1.028 and crops it,
// and the barcode's 107.2 mm grow to 110), and one copy.
constexpr struct {
  const char* name;
  const char* value;
} kJobOptions[] = {
    {"media", "iso_a4_210x297mm"},
    {"print-scaling", "none"},
    {"copies", "1"},
};

Error PrinterFailure(std::string description) {
  return MakeError(error_number::kPrinterFailure, std::move(description));
}

bool EndsWithPng(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return tail == ".png";
}

// The CUPS client library is loaded only when a page goes to a printer
// queue (platform/shared_library.h).
struct CupsApi {
  decltype(&cupsGetNamedDest) get_named_dest = nullptr;
  decltype(&cupsFreeDests) free_dests = nullptr;
  decltype(&cupsLastErrorString) last_error_string = nullptr;
  decltype(&cupsAddOption) add_option = nullptr;
  decltype(&cupsFreeOptions) free_options = nullptr;
  decltype(&cupsCreateJob) create_job = nullptr;
  decltype(&cupsStartDocument) start_document = nullptr;
  decltype(&cupsWriteRequestData) write_request_data = nullptr;
  decltype(&cupsFinishDocument) finish_document = nullptr;
  decltype(&cupsCancelJob2) cancel_job2 = nullptr;
  decltype(&cupsGetOption) get_option = nullptr;
  decltype(&cupsServer) server = nullptr;
  decltype(&ippPort) ipp_port = nullptr;
  decltype(&cupsEncryption) encryption = nullptr;
  decltype(&httpConnect2) http_connect2 = nullptr;
  decltype(&httpClose) http_close = nullptr;

  // The last error's text, never null.
  std::string LastError() const {
    const char* why = last_error_string();
    return why != nullptr ? why : "";
  }
};

// The library's entry points, loaded on first use; an error when the
// library or one of its functions is missing.
Result<const CupsApi*> Cups() {
  static const Result<CupsApi> api = LoadApi<CupsApi>(
      {"libcups.so.2"}, "CUPS client library", [](const SharedLibrary& library, CupsApi& a) {
        return library.Bind(a.get_named_dest, "cupsGetNamedDest") &&
               library.Bind(a.free_dests, "cupsFreeDests") &&
               library.Bind(a.last_error_string, "cupsLastErrorString") &&
               library.Bind(a.add_option, "cupsAddOption") &&
               library.Bind(a.free_options, "cupsFreeOptions") &&
               library.Bind(a.create_job, "cupsCreateJob") &&
               library.Bind(a.start_document, "cupsStartDocument") &&
               library.Bind(a.write_request_data, "cupsWriteRequestData") &&
               library.Bind(a.finish_document, "cupsFinishDocument") &&
               library.Bind(a.cancel_job2, "cupsCancelJob2") &&
               library.Bind(a.get_option, "cupsGetOption") &&
               library.Bind(a.server, "cupsServer") && library.Bind(a.ipp_port, "ippPort") &&
               library.Bind(a.encryption, "cupsEncryption") &&
               library.Bind(a.http_connect2, "httpConnect2") &&
               library.Bind(a.http_close, "httpClose");
      });
  if (!api.ok()) return api.error();
  return &api.value();
}

struct DestFree {
  void operator()(cups_dest_t* dest) const {
    if (auto cups = Cups(); cups.ok()) (*cups)->free_dests(1, dest);
  }
};
using DestPtr = std::unique_ptr<cups_dest_t, DestFree>;

// The failure to report after CUPS failed: where the print server (the
// CUPS_SERVER, the client configuration's or the local scheduler) does not
// even take a connection, that the print server cannot be reached, whatever
// CUPS said; otherwise `otherwise`.
Error CupsFailure(const CupsApi& cups, std::string otherwise) {
  const char* server = cups.server();
  http_t* http = cups.http_connect2(server, cups.ipp_port(), nullptr, AF_UNSPEC, cups.encryption(),
                                    /*blocking=*/1, kServerCheckMilliseconds, nullptr);
  if (http != nullptr) {
    cups.http_close(http);
    return PrinterFailure(std::move(otherwise));
  }
  return PrinterFailure("O servidor de impressão (CUPS) em " + std::string(server) +
                        " não pode ser alcançado");
}

Result<DestPtr> FindCupsDestination(const std::string& printer_name) {
  auto cups = Cups();
  if (!cups.ok()) return cups.error();
  cups_dest_t* dest = (*cups)->get_named_dest(
      CUPS_HTTP_DEFAULT, printer_name.empty() ? nullptr : printer_name.c_str(), nullptr);
  if (dest == nullptr) {
    std::string why = (*cups)->LastError();
    if (printer_name.empty()) {
      return CupsFailure(**cups, "No default printer is available (CUPS: " + why + ")");
    }
    return CupsFailure(**cups,
                       "The printer \"" + printer_name + "\" is not available (CUPS: " + why + ")");
  }
  return DestPtr(dest);
}

// Whether the queue is stopped (paused) now: it still accepts jobs and holds
// them until it is resumed. False where its state cannot be read.
bool QueueStopped(const CupsApi& cups, const char* queue) {
  const DestPtr dest(cups.get_named_dest(CUPS_HTTP_DEFAULT, queue, nullptr));
  if (dest == nullptr) return false;
  const char* state = cups.get_option("printer-state", dest->num_options, dest->options);
  return state != nullptr && std::atoi(state) == IPP_PSTATE_STOPPED;
}

// The job's options, released at the end of the scope.
class JobOptions {
 public:
  explicit JobOptions(const CupsApi& cups) : cups_(cups) {
    for (const auto& [name, value] : kJobOptions) {
      count_ = cups_.add_option(name, value, count_, &options_);
    }
  }
  ~JobOptions() { cups_.free_options(count_, options_); }
  JobOptions(const JobOptions&) = delete;
  JobOptions& operator=(const JobOptions&) = delete;

  int count() const { return count_; }
  cups_option_t* options() const { return options_; }

 private:
  const CupsApi& cups_;
  int count_ = 0;
  cups_option_t* options_ = nullptr;
};

// The PDF handed to `write` piece by piece; false once `write` is.
using PdfPieces = std::function<bool(const std::function<bool(const char*, size_t)>& write)>;

// Sends the PDF, rewritten for the printer by `rewrite`, to the destination
// as the job's one document.
Result<Delivery> SendToCups(const PageDestination& destination,
                            const std::function<Result<PdfPieces>()>& rewrite) {
  Result<DestPtr> dest = FindCupsDestination(destination.printer_name);
  if (!dest.ok()) return dest.error();
  const CupsApi& cups = **Cups();
  const char* queue = (*dest)->name;
  BOLETO_ASSIGN_OR_RETURN(const PdfPieces pdf, rewrite());
  const std::string refused = std::string("The printer \"") + queue + "\" refused the page: ";
  const char* title = destination.job_name.empty() ? kJobTitle : destination.job_name.c_str();
  const JobOptions options(cups);
  const int job =
      cups.create_job(CUPS_HTTP_DEFAULT, queue, title, options.count(), options.options());
  if (job == 0) return CupsFailure(cups, refused + cups.LastError());
  // The page is the job's one and only document.
  if (cups.start_document(CUPS_HTTP_DEFAULT, queue, job, title, CUPS_FORMAT_PDF, 1) !=
      HTTP_STATUS_CONTINUE) {
    std::string why = cups.LastError();
    cups.cancel_job2(CUPS_HTTP_DEFAULT, queue, job, 0);
    return CupsFailure(cups, refused + why);
  }
  const bool sent = pdf([&cups](const char* data, size_t size) {
    return cups.write_request_data(CUPS_HTTP_DEFAULT, data, size) == HTTP_STATUS_CONTINUE;
  });
  if (!sent) {
    std::string why = cups.LastError();
    cups.finish_document(CUPS_HTTP_DEFAULT, queue);
    cups.cancel_job2(CUPS_HTTP_DEFAULT, queue, job, 0);
    return CupsFailure(cups, refused + why);
  }
  if (cups.finish_document(CUPS_HTTP_DEFAULT, queue) > IPP_STATUS_OK_EVENTS_COMPLETE) {
    return CupsFailure(cups, refused + cups.LastError());
  }
  Delivery delivery;
  if (QueueStopped(cups, queue)) delivery.stopped_queue = queue;
  return delivery;
}

// The PDF in memory, sent as it is rewritten, in memory too.
Result<Delivery> SendToCups(const PageDestination& destination, const std::string& page) {
  std::string pdf;
  return SendToCups(destination, [&]() -> Result<PdfPieces> {
    BOLETO_ASSIGN_OR_RETURN(pdf, WithoutPageGroups(page));
    return PdfPieces([&pdf](const auto& write) { return write(pdf.data(), pdf.size()); });
  });
}

// A document of many pages on its way to a file or a printer queue.
class DocumentOnItsWay : public DocumentStream {
 public:
  DocumentOnItsWay(std::shared_ptr<const PageDestination> destination,
                   std::shared_ptr<Delivery> delivered)
      : destination_(std::move(destination)), delivered_(std::move(delivered)) {
    if (!destination_->output_file.empty()) {
      file_ = DocumentFile::ForPath(destination_->output_file);
      return;
    }
    spool_ = Descriptor(OpenUnnamedFile(TemporaryFolder()));
    if (spool_.get() < 0) error_ = errno;
  }

  void Write(const char* data, size_t size) override {
    if (file_ != nullptr) {
      file_->Append(data, size);
    } else if (error_ == 0 && !WriteAll(spool_.get(), data, size)) {
      error_ = errno;
    }
  }

  Status Finish() override {
    if (file_ != nullptr) {
      BOLETO_RETURN_IF_ERROR(file_->Commit());
      *delivered_ = Delivery{};
      return Status::Ok();
    }
    Descriptor rewritten;
    BOLETO_ASSIGN_OR_RETURN(*delivered_, SendToCups(*destination_, [&]() -> Result<PdfPieces> {
      if (error_ != 0) return SpoolFailure(error_);
      rewritten = Descriptor(OpenUnnamedFile(TemporaryFolder()));
      if (rewritten.get() < 0) return SpoolFailure(errno);
      BOLETO_RETURN_IF_ERROR(WithoutPageGroups(spool_.get(), rewritten.get()));
      spool_.Close();  // the document as drawn is no longer needed
      return PdfPieces(
          [&rewritten](const auto& write) { return EachPiece(rewritten.get(), write); });
    }));
    return Status::Ok();
  }

 private:
  static Error SpoolFailure(int error) {
    return PrinterFailure("Cannot keep the document for the printer in " + TemporaryFolder() +
                          ": " + std::strerror(error));
  }

  std::shared_ptr<const PageDestination> destination_;
  std::shared_ptr<Delivery> delivered_;
  std::unique_ptr<DocumentFile> file_;  // for an output file
  Descriptor spool_;                    // for CUPS
  int error_ = 0;                       // the spool's first failure
};

}  // namespace

std::string PrintJobName(std::string_view company, std::string_view document,
                         std::string_view series, std::string_view number,
                         std::string_view installment) {
  std::string name = kJobTitle;
  for (std::string_view part : {company, document, series, number}) {
    name += ' ';
    name += TrimBlanks(part);
  }
  name += '/';
  name += TrimBlanks(installment);
  // Printable UTF-8 only: a malformed byte is U+FFFD, a control character a blank.
  std::string printable;
  for (size_t pos = 0; pos < name.size();) {
    const char32_t c = NextCharacter(name, pos);
    const bool control = c < 0x20 || (c >= 0x7F && c < 0xA0);
    std::string character;
    AppendCharacter(control ? U' ' : c, character);
    if (printable.size() + character.size() > kJobNameBytes) break;
    printable += character;
  }
  return printable;
}

PageFormat FormatForDestination(const PageDestination& destination) {
  return EndsWithPng(destination.output_file) ? PageFormat::kPng : PageFormat::kPdf;
}

Status CheckDestination(const PageDestination& destination) {
  if (!destination.output_file.empty() || !destination.output_folder.empty()) {
    return Status::Ok();
  }
  return FindCupsDestination(destination.printer_name).status();
}

Result<Delivery> DeliverDocument(const PageDestination& destination, const std::string& document) {
  if (!destination.output_file.empty()) {
    BOLETO_RETURN_IF_ERROR(WritePageFile(destination.output_file, document));
    return Delivery{};
  }
  return SendToCups(destination, document);
}

std::unique_ptr<DocumentStream> StreamDocument(std::shared_ptr<const PageDestination> destination,
                                               std::shared_ptr<Delivery> delivered) {
  return std::make_unique<DocumentOnItsWay>(std::move(destination), std::move(delivered));
}

}  // namespace boleto
