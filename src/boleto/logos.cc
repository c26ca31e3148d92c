#include "boleto/logos.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "platform/directories.h"
#include "print/picture.h"

namespace boleto {
namespace {

// The entry of `dir` whose name, in upper case, is `upper_name` (the stored
// logo names were written without regard to case); `dir/upper_name` when the
// folder holds none.
std::string FindIgnoringCase(const std::string& dir, std::string_view upper_name) {
  std::error_code ec;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != upper_name.size()) continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      same = std::toupper(static_cast<unsigned char>(name[i])) == upper_name[i];
    }
    if (same) return it->path().string();
  }
  return JoinPath(dir, upper_name);
}

}  // namespace

std::string PrintDirectory(const RunContext& ctx) {
  std::string dir = ctx.company.local_anexo;
  for (char& c : dir) {
    if (c == '\\') c = '/';
  }
  return dir;
}

std::string JoinPath(std::string_view a, std::string_view b) {
  std::string path(a);
  path += '/';
  path += b;
  return path;
}

Result<Picture> PictureCache::Load(const std::string& path) {
  auto found = pictures_.find(path);
  if (found == pictures_.end()) found = pictures_.emplace(path, LoadPicture(path)).first;
  return found->second;
}

namespace {

PictureCache::LogoFiles FindLogoFiles(const RunContext& ctx) {
  PictureCache::LogoFiles files;
  const std::string bmp = JoinPath(PrintDirectory(ctx), "BMP");
  const std::string company_dir = JoinPath(bmp, ctx.params.codigo_emp);
  files.company = FindIgnoringCase(company_dir, "LOGOBOLR.BMP");
  if (!std::filesystem::is_regular_file(files.company)) {
    files.company = FindIgnoringCase(company_dir, "LOGO.BMP");
  }
  files.bank = FindIgnoringCase(JoinPath(bmp, ctx.bank.banco_cobranca), "LOGO.BMP");
  if (DirectoryMissing(files.bank)) files.bank.clear();
  return files;
}

}  // namespace

Status LoadLogos(const RunContext& ctx, LayoutForm& receipt_stub, LayoutForm& compensation_part,
                 PictureCache* cache) {
  const auto load = [cache](const std::string& path) {
    return cache != nullptr ? cache->Load(path) : LoadPicture(path);
  };
  PictureCache::LogoFiles files;
  if (cache != nullptr) {
    // Folder, company and bank, parted by line feeds.
    const std::string key =
        PrintDirectory(ctx) + '\n' + ctx.params.codigo_emp + '\n' + ctx.bank.banco_cobranca;
    auto found = cache->logo_files().find(key);
    if (found == cache->logo_files().end()) {
      found = cache->logo_files().emplace(key, FindLogoFiles(ctx)).first;
    }
    files = found->second;
  } else {
    files = FindLogoFiles(ctx);
  }
  BOLETO_ASSIGN_OR_RETURN(Picture company_picture, load(files.company));
  BOLETO_RETURN_IF_ERROR(receipt_stub.SetPicture("Picture2", std::move(company_picture)));

  Picture bank_picture;
  if (!files.bank.empty()) {
    BOLETO_ASSIGN_OR_RETURN(bank_picture, load(files.bank));
  }
  BOLETO_RETURN_IF_ERROR(receipt_stub.SetPicture("PictLogoBanco", std::move(bank_picture)));
  BOLETO_ASSIGN_OR_RETURN(Picture copied, receipt_stub.GetPicture("PictLogoBanco"));
  return compensation_part.SetPicture("PictLogoBanco", std::move(copied));
}

}  // namespace boleto
