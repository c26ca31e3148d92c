// Where the boleto's logos are looked up: the print directory
// (PARAMIMP.LOCALANEXO), its BMP folder with one folder per company and per
// bank, and the pictures loaded from there into the layout forms. Reads the
// file system; writes nothing.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "platform/status.h"
#include "print/layout_form.h"
#include "run/run_context.h"

namespace boleto {

// The print directory as this system writes paths: stored directories may
// have been written with "\" between their parts.
std::string PrintDirectory(const RunContext& ctx);

// Print folders are written with "/" between their parts.
std::string JoinPath(std::string_view a, std::string_view b);

// Pictures by file path, each decoded once (a batch prints the same logos on
// thousands of pages, which then share one image in the PDF), and the files
// of each print folder, company and bank, looked up once.
class PictureCache {
 public:
  // The picture of `path` as LoadPicture reads it, from the cache after the
  // first time (errors included).
  Result<Picture> Load(const std::string& path);

  // The logo files LoadLogos found for a print folder, company and bank.
  struct LogoFiles {
    std::string company;
    std::string bank;  // empty: the bank has none
  };
  std::map<std::string, LogoFiles>& logo_files() { return logo_files_; }

 private:
  std::map<std::string, Result<Picture>> pictures_;
  std::map<std::string, LogoFiles> logo_files_;
};

// The company's strip on the receipt stub (LOGOBOLR.BMP, or else LOGO.BMP,
// which must then exist) and the bank's logo on both parts (none: the bank
// description is printed in its place). File names are matched without
// regard to case. Pictures come through `cache` when one is given.
Status LoadLogos(const RunContext& ctx, LayoutForm& receipt_stub, LayoutForm& compensation_part,
                 PictureCache* cache = nullptr);

}  // namespace boleto
