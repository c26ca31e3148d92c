#include "print/page_folder.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include "platform/text.h"
#include "print/page_file.h"
#include "print/utf8_text.h"

namespace boleto {
namespace {

// The ending of every file the folder gets.
constexpr std::string_view kPdfEnding = ".pdf";

bool AllowedInName(char32_t c) {
  return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') || (c >= U'0' && c <= U'9') ||
         c == U'.' || c == U'_' || c == U'-';
}

}  // namespace

std::string PageFileName(std::string_view company, std::string_view unit, std::string_view document,
                         std::string_view series, std::string_view number,
                         std::string_view installment) {
  std::string key;
  bool first = true;
  for (std::string_view part : {company, unit, document, series, number, installment}) {
    if (!first) key += '-';
    first = false;
    key += TrimBlanks(part);
  }
  std::string name;
  for (size_t pos = 0; pos < key.size();) {
    const char32_t c = NextCharacter(key, pos);
    const bool leading = name.empty() && (c == U'.' || c == U'-');
    name += AllowedInName(c) && !leading ? static_cast<char>(c) : '_';
  }
  return name + std::string(kPdfEnding);
}

// One page's document on its way into the spool: held until it is complete
// (some 50 KB), then written there in one go.
class PageFolder::Document : public DocumentStream {
 public:
  explicit Document(std::shared_ptr<PageFolder> folder) : folder_(std::move(folder)) {}

  void Write(const char* data, size_t size) override { bytes_.append(data, size); }

  Status Finish() override {
    PageFolder& f = *folder_;
    if (f.name_.empty()) {
      return MakeError(error_number::kPrinterFailure,
                       "A page for " + f.folder_ + " was drawn without a file name");
    }
    if (!WriteAll(f.spool_.get(), bytes_.data(), bytes_.size())) return f.Failure(errno);
    const off_t size = static_cast<off_t>(bytes_.size());
    f.pages_.push_back(Page{std::move(f.name_), f.written_, f.end_, size});
    f.end_ += size;
    f.name_.clear();
    f.written_ = nullptr;
    return Status::Ok();
  }

 private:
  std::shared_ptr<PageFolder> folder_;
  std::string bytes_;
};

Result<std::shared_ptr<PageFolder>> PageFolder::Open(const std::string& folder) {
  std::shared_ptr<PageFolder> opened(new PageFolder(folder));
  struct stat found;
  if (stat(folder.c_str(), &found) != 0) return opened->Failure(errno).error();
  if (!S_ISDIR(found.st_mode)) return opened->Failure(ENOTDIR).error();
  // Beside the files, so that no other file system fills up meanwhile.
  opened->spool_ = Descriptor(OpenUnnamedFile(folder));
  if (opened->spool_.get() < 0) return opened->Failure(errno).error();
  RemoveLeftoversEndingIn(folder, kPdfEnding);
  return opened;
}

Status PageFolder::Failure(int error) const {
  return MakeError(error_number::kPrinterFailure,
                   "Cannot write the page to " + folder_ + ": " + std::strerror(error));
}

std::unique_ptr<DocumentStream> PageFolder::NextDocument() {
  return std::make_unique<Document>(shared_from_this());
}

void PageFolder::Name(std::string name, Status* written) {
  name_ = std::move(name);
  written_ = written;
}

void PageFolder::WriteFiles() {
  std::set<std::string> taken;
  for (const Page& page : pages_) {
    const std::string path = folder_ + "/" + page.name;
    Status status;
    if (!taken.insert(page.name).second) {
      status = MakeError(error_number::kPrinterFailure, "Cannot write the page to " + path +
                                                            ": another page of the batch has "
                                                            "this name");
    } else {
      // The folder's leftovers went when it was opened.
      std::unique_ptr<DocumentFile> file = DocumentFile::ForPath(path, false);
      const bool read =
          EachPieceOf(spool_.get(), page.start, page.size, [&file](const char* data, size_t size) {
            file->Append(data, size);
            return true;
          });
      status = read ? file->Commit() : Failure(errno);
    }
    if (page.written != nullptr) *page.written = std::move(status);
  }
}

}  // namespace boleto
