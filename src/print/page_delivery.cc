#include "print/page_delivery.h"

#include <cups/cups.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/shared_library.h"

namespace boleto {
namespace {

constexpr char kJobTitle[] = "Boleto";

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
// queue: linked into the program it would bring some twenty further
// libraries (Kerberos, TLS, service discovery) into every run, also those
// that only write a file.
struct CupsApi {
  decltype(&cupsGetNamedDest) get_named_dest = nullptr;
  decltype(&cupsFreeDests) free_dests = nullptr;
  decltype(&cupsLastErrorString) last_error_string = nullptr;
  decltype(&cupsCreateJob) create_job = nullptr;
  decltype(&cupsStartDocument) start_document = nullptr;
  decltype(&cupsWriteRequestData) write_request_data = nullptr;
  decltype(&cupsFinishDocument) finish_document = nullptr;
  decltype(&cupsCancelJob2) cancel_job2 = nullptr;

  // The last error's text, never null.
  std::string LastError() const {
    const char* why = last_error_string();
    return why != nullptr ? why : "";
  }
};

// The library's entry points, loaded on first use; an error when the
// library or one of its functions is missing.
Result<const CupsApi*> Cups() {
  static const Result<CupsApi> api = []() -> Result<CupsApi> {
    SharedLibrary library("libcups.so.2");
    if (!library.opened()) {
      return PrinterFailure("The CUPS client library cannot be loaded: " + library.why());
    }
    CupsApi a;
    library.Bind(a.get_named_dest, "cupsGetNamedDest");
    library.Bind(a.free_dests, "cupsFreeDests");
    library.Bind(a.last_error_string, "cupsLastErrorString");
    library.Bind(a.create_job, "cupsCreateJob");
    library.Bind(a.start_document, "cupsStartDocument");
    library.Bind(a.write_request_data, "cupsWriteRequestData");
    library.Bind(a.finish_document, "cupsFinishDocument");
    library.Bind(a.cancel_job2, "cupsCancelJob2");
    if (!library.complete())
      return PrinterFailure("The CUPS client library lacks a needed function");
    return a;
  }();
  if (!api.ok()) return api.error();
  return &api.value();
}

struct DestFree {
  void operator()(cups_dest_t* dest) const {
    if (auto cups = Cups(); cups.ok()) (*cups)->free_dests(1, dest);
  }
};
using DestPtr = std::unique_ptr<cups_dest_t, DestFree>;

Result<DestPtr> FindCupsDestination(const std::string& printer_name) {
  auto cups = Cups();
  if (!cups.ok()) return cups.error();
  cups_dest_t* dest = (*cups)->get_named_dest(
      CUPS_HTTP_DEFAULT, printer_name.empty() ? nullptr : printer_name.c_str(), nullptr);
  if (dest == nullptr) {
    std::string why = (*cups)->LastError();
    if (printer_name.empty()) {
      return PrinterFailure("No default printer is available (CUPS: " + why + ")");
    }
    return PrinterFailure("The printer \"" + printer_name + "\" is not available (CUPS: " + why +
                          ")");
  }
  return DestPtr(dest);
}

Status WriteFile(const std::string& path, const std::string& document) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return PrinterFailure("Cannot write the page to " + path + ": " + std::strerror(errno));
  }
  const size_t written = std::fwrite(document.data(), 1, document.size(), file);
  const bool closed = std::fclose(file) == 0;
  if (written != document.size() || !closed) {
    return PrinterFailure("Cannot write the page to " + path + ": " + std::strerror(errno));
  }
  return Status::Ok();
}

Status SendToCups(const std::string& printer_name, const std::string& pdf) {
  Result<DestPtr> dest = FindCupsDestination(printer_name);
  if (!dest.ok()) return dest.status();
  const CupsApi& cups = **Cups();
  const char* queue = (*dest)->name;
  const std::string refused = std::string("The printer \"") + queue + "\" refused the page: ";
  const int job = cups.create_job(CUPS_HTTP_DEFAULT, queue, kJobTitle, 0, nullptr);
  if (job == 0) return PrinterFailure(refused + cups.LastError());
  if (cups.start_document(CUPS_HTTP_DEFAULT, queue, job, kJobTitle, CUPS_FORMAT_PDF, 1) !=
      HTTP_STATUS_CONTINUE) {
    std::string why = cups.LastError();
    cups.cancel_job2(CUPS_HTTP_DEFAULT, queue, job, 0);
    return PrinterFailure(refused + why);
  }
  if (cups.write_request_data(CUPS_HTTP_DEFAULT, pdf.data(), pdf.size()) != HTTP_STATUS_CONTINUE) {
    std::string why = cups.LastError();
    cups.finish_document(CUPS_HTTP_DEFAULT, queue);
    cups.cancel_job2(CUPS_HTTP_DEFAULT, queue, job, 0);
    return PrinterFailure(refused + why);
  }
  if (cups.finish_document(CUPS_HTTP_DEFAULT, queue) > IPP_STATUS_OK_EVENTS_COMPLETE) {
    return PrinterFailure(refused + cups.LastError());
  }
  return Status::Ok();
}

}  // namespace

PageFormat FormatForDestination(const PageDestination& destination) {
  return EndsWithPng(destination.output_file) ? PageFormat::kPng : PageFormat::kPdf;
}

Status CheckDestination(const PageDestination& destination) {
  if (!destination.output_file.empty()) return Status::Ok();
  return FindCupsDestination(destination.printer_name).status();
}

Status DeliverDocument(const PageDestination& destination, const std::string& document) {
  if (!destination.output_file.empty()) return WriteFile(destination.output_file, document);
  return SendToCups(destination.printer_name, document);
}

}  // namespace boleto
