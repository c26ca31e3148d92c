#include "print/page_delivery.h"

#include <cups/cups.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

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

struct DestFree {
  void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};
using DestPtr = std::unique_ptr<cups_dest_t, DestFree>;

Result<DestPtr> FindCupsDestination(const std::string& printer_name) {
  cups_dest_t* dest = cupsGetNamedDest(
      CUPS_HTTP_DEFAULT, printer_name.empty() ? nullptr : printer_name.c_str(), nullptr);
  if (dest == nullptr) {
    std::string why = cupsLastErrorString() != nullptr ? cupsLastErrorString() : "";
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
  const char* queue = (*dest)->name;
  const std::string refused = std::string("The printer \"") + queue + "\" refused the page: ";
  const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, queue, kJobTitle, 0, nullptr);
  if (job == 0) return PrinterFailure(refused + cupsLastErrorString());
  if (cupsStartDocument(CUPS_HTTP_DEFAULT, queue, job, kJobTitle, CUPS_FORMAT_PDF, 1) !=
      HTTP_STATUS_CONTINUE) {
    std::string why = cupsLastErrorString();
    cupsCancelJob2(CUPS_HTTP_DEFAULT, queue, job, 0);
    return PrinterFailure(refused + why);
  }
  if (cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.data(), pdf.size()) != HTTP_STATUS_CONTINUE) {
    std::string why = cupsLastErrorString();
    cupsFinishDocument(CUPS_HTTP_DEFAULT, queue);
    cupsCancelJob2(CUPS_HTTP_DEFAULT, queue, job, 0);
    return PrinterFailure(refused + why);
  }
  if (cupsFinishDocument(CUPS_HTTP_DEFAULT, queue) > IPP_STATUS_OK_EVENTS_COMPLETE) {
    return PrinterFailure(refused + cupsLastErrorString());
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
