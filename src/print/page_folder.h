// A batch's pages as PDF files of their own in one folder: one file per page,
// named by the caller, so that each payer's boleto can be sent on its own.
//
// While the pages are drawn, their documents wait one after the other in an
// unnamed file in the folder: a run killed meanwhile leaves nothing there.
// Once every page is drawn, each is written to its own file as an output
// file is (print/page_file.h): into a temporary file, synced, renamed over
// the name, the folder synced; a file that cannot be written fails alone.
// A run killed while the files are written leaves the files written so far
// whole, and at most the one temporary file of the file under way, which
// the next folder opened there (or output file of that name) removes.
// Touches: files.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/status.h"
#include "print/cairo_page_surface.h"
#include "print/spool_file.h"

namespace boleto {

// The name of an installment's file: company, unit, document, series,
// number and installment, each without its blanks, joined by "-", then
// ".pdf", e.g. "01-01-DM-1-1003-01.pdf". Every character but the letters
// A-Z and a-z, the digits, ".", "_" and "-" becomes "_", and so does a "."
// or "-" at the start: the name never leads out of the folder, never hides
// the file and is never taken for an option.
std::string PageFileName(std::string_view company, std::string_view unit, std::string_view document,
                         std::string_view series, std::string_view number,
                         std::string_view installment);

class PageFolder : public std::enable_shared_from_this<PageFolder> {
 public:
  // The folder must exist: otherwise a printer failure (482) "Cannot write
  // the page to FOLDER: REASON", as for an output file in a missing folder.
  static Result<std::shared_ptr<PageFolder>> Open(const std::string& folder);

  // Where the next page's document goes as it is drawn; its Finish keeps it
  // for the file named last by Name. One document at a time: the earlier
  // one is finished or dropped before the next is asked for.
  std::unique_ptr<DocumentStream> NextDocument();
  // Names the file of the page being drawn. `written`, where given, gets how
  // writing that file went, at WriteFiles (the caller keeps it until then).
  void Name(std::string name, Status* written);
  // Writes every finished page to its file, in the order they were drawn;
  // a page whose name an earlier page of the batch took is not written
  // ("another page of the batch has this name"). Each page's outcome goes
  // where Name said (a document that could not be kept in the folder
  // failed its Finish already, which stops the batch).
  void WriteFiles();

 private:
  struct Page {
    std::string name;
    Status* written;
    off_t start;
    off_t size;
  };
  class Document;
  explicit PageFolder(const std::string& folder) : folder_(folder) {}
  Status Failure(int error) const;

  std::string folder_;
  Descriptor spool_;  // the finished documents, one after the other
  off_t end_ = 0;     // the spool's size
  std::string name_;  // of the page being drawn
  Status* written_ = nullptr;
  std::vector<Page> pages_;
};

}  // namespace boleto
