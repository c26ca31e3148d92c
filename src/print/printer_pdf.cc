#include "print/printer_pdf.h"

#include <qpdf/qpdf-c.h>

#include <string>

#include "platform/shared_library.h"

namespace boleto {
namespace {

struct QpdfApi {
  decltype(&qpdf_init) init = nullptr;
  decltype(&qpdf_cleanup) cleanup = nullptr;
  decltype(&qpdf_silence_errors) silence_errors = nullptr;
  decltype(&qpdf_has_error) has_error = nullptr;
  decltype(&qpdf_get_error) get_error = nullptr;
  decltype(&qpdf_get_error_full_text) get_error_full_text = nullptr;
  decltype(&qpdf_read) read = nullptr;
  decltype(&qpdf_read_memory) read_memory = nullptr;
  decltype(&qpdf_get_num_pages) get_num_pages = nullptr;
  decltype(&qpdf_get_page_n) get_page_n = nullptr;
  decltype(&qpdf_oh_remove_key) oh_remove_key = nullptr;
  decltype(&qpdf_init_write) init_write = nullptr;
  decltype(&qpdf_init_write_memory) init_write_memory = nullptr;
  decltype(&qpdf_write) write = nullptr;
  decltype(&qpdf_get_buffer_length) get_buffer_length = nullptr;
  decltype(&qpdf_get_buffer) get_buffer = nullptr;
};

// The library's entry points, loaded on first use. Its C interface has kept
// its functions since qpdf 10.5; the file name follows the library version.
Result<const QpdfApi*> Qpdf() {
  static const Result<QpdfApi> api = LoadApi<QpdfApi>(
      {"libqpdf.so.29", "libqpdf.so"}, "PDF library libqpdf",
      [](const SharedLibrary& library, QpdfApi& a) {
        return library.Bind(a.init, "qpdf_init") && library.Bind(a.cleanup, "qpdf_cleanup") &&
               library.Bind(a.silence_errors, "qpdf_silence_errors") &&
               library.Bind(a.has_error, "qpdf_has_error") &&
               library.Bind(a.get_error, "qpdf_get_error") &&
               library.Bind(a.get_error_full_text, "qpdf_get_error_full_text") &&
               library.Bind(a.read, "qpdf_read") &&
               library.Bind(a.read_memory, "qpdf_read_memory") &&
               library.Bind(a.get_num_pages, "qpdf_get_num_pages") &&
               library.Bind(a.get_page_n, "qpdf_get_page_n") &&
               library.Bind(a.oh_remove_key, "qpdf_oh_remove_key") &&
               library.Bind(a.init_write, "qpdf_init_write") &&
               library.Bind(a.init_write_memory, "qpdf_init_write_memory") &&
               library.Bind(a.write, "qpdf_write") &&
               library.Bind(a.get_buffer_length, "qpdf_get_buffer_length") &&
               library.Bind(a.get_buffer, "qpdf_get_buffer");
      });
  if (!api.ok()) return api.error();
  return &api.value();
}

// One document read into libqpdf, released at the end of the scope.
class QpdfDocument {
 public:
  explicit QpdfDocument(const QpdfApi& api) : api_(api), data_(api.init()) {
    api_.silence_errors(data_);  // errors are read and reported here
  }
  ~QpdfDocument() { api_.cleanup(&data_); }
  QpdfDocument(const QpdfDocument&) = delete;
  QpdfDocument& operator=(const QpdfDocument&) = delete;

  qpdf_data data() const { return data_; }

  // A printer failure for a step that went wrong, with libqpdf's reason.
  Error Failure(const std::string& step) const {
    std::string why = "unknown error";
    if (api_.has_error(data_)) {
      if (const char* text = api_.get_error_full_text(data_, api_.get_error(data_))) why = text;
    }
    return MakeError(error_number::kPrinterFailure,
                     "Cannot " + step + " the page for the printer: " + why);
  }

 private:
  const QpdfApi& api_;
  qpdf_data data_;
};

// Drops the transparency group of every page of the document read.
Status DropPageGroups(const QpdfApi& api, const QpdfDocument& document) {
  const int pages = api.get_num_pages(document.data());
  if (pages < 0) return document.Failure("read");
  for (int i = 0; i < pages; ++i) {
    api.oh_remove_key(document.data(), api.get_page_n(document.data(), i), "/Group");
  }
  return Status::Ok();
}

// The name under which libqpdf opens a file this process has open.
std::string OpenFileName(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

}  // namespace

Result<std::string> WithoutPageGroups(const std::string& pdf) {
  BOLETO_ASSIGN_OR_RETURN(const QpdfApi* loaded, Qpdf());
  const QpdfApi& api = *loaded;
  QpdfDocument document(api);
  if (api.read_memory(document.data(), "boleto page", pdf.data(), pdf.size(), nullptr) &
      QPDF_ERRORS) {
    return document.Failure("read");
  }
  BOLETO_RETURN_IF_ERROR(DropPageGroups(api, document));
  if ((api.init_write_memory(document.data()) & QPDF_ERRORS) ||
      (api.write(document.data()) & QPDF_ERRORS)) {
    return document.Failure("write");
  }
  const unsigned char* bytes = api.get_buffer(document.data());
  if (bytes == nullptr) return document.Failure("write");
  return std::string(reinterpret_cast<const char*>(bytes), api.get_buffer_length(document.data()));
}

Status WithoutPageGroups(int from, int to) {
  BOLETO_ASSIGN_OR_RETURN(const QpdfApi* loaded, Qpdf());
  const QpdfApi& api = *loaded;
  // The document is released, and the file written closed, before this returns.
  QpdfDocument document(api);
  if (api.read(document.data(), OpenFileName(from).c_str(), nullptr) & QPDF_ERRORS) {
    return document.Failure("read");
  }
  BOLETO_RETURN_IF_ERROR(DropPageGroups(api, document));
  if ((api.init_write(document.data(), OpenFileName(to).c_str()) & QPDF_ERRORS) ||
      (api.write(document.data()) & QPDF_ERRORS)) {
    return document.Failure("write");
  }
  return Status::Ok();
}

}  // namespace boleto
