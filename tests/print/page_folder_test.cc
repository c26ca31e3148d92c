// A job of a file per page: the names keys make, and what becomes of each
// page: one drawn whole is its own one-page PDF whose barcode decodes to its
// own; one that failed part-way, one that takes a name an earlier page
// took, and one whose name is held by a folder leave no file and get their
// own errors; nothing else is left in the folder.
#include "print/page_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "print/barcode_drawing.h"
#include "print/page_pipeline.h"
#include "print/print_job.h"
#include "print_test_helpers.h"
#include "support/command.h"
#include "support/paths.h"

namespace boleto {
namespace {

TEST(PageFileName, KeyPartsWithoutBlanksJoinedAndNothingLeadsOutOfTheFolder) {
  struct Row {
    std::vector<std::string> key;  // company, unit, document, series, number, installment
    const char* name;
  };
  const Row rows[] = {
      {{"01", "01      ", "DM        ", "1  ", "1003    ", "01"}, "01-01-DM-1-1003-01.pdf"},
      {{"01", "        ", "NFS       ", "2  ", "1005    ", "01"}, "01--NFS-2-1005-01.pdf"},
      {{"01", "01", "../..", "1", "/etc", "01"}, "01-01-.._..-1-_etc-01.pdf"},
      {{"..", "01", "D M", "a\\b", "x\ty", "01"}, "_.-01-D_M-a_b-x_y-01.pdf"},
      {{"-r", "01", "DUPLICATA", "1", "1003", "01"}, "_r-01-DUPLICATA-1-1003-01.pdf"},
      {{"01", "01", "NFÇ", "1", "1003", "01"}, "01-01-NF_-1-1003-01.pdf"},
      {{"01", "01", "DM", "1",
        std::string("10\0"
                    "3",
                    4),
        "01"},
       "01-01-DM-1-10_3-01.pdf"},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(PageFileName(r.key[0], r.key[1], r.key[2], r.key[3], r.key[4], r.key[5]), r.name);
  }
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

TEST(PageFolder, EachPageDrawnWholeIsAFileOfItsOwnAndEveryOtherFailsAlone) {
  const std::string folder = testing::MakeTempDir("boleto-page-folder-");
  ASSERT_EQ(mkdir((folder + "/held.pdf").c_str(), 0755), 0);
  struct Page {
    const char* name;
    bool fails;           // after its barcode is drawn
    const char* written;  // the error writing its file, or "" (unchecked where it fails)
  };
  const Page pages[] = {
      {"a.pdf", false, ""},
      {"b.pdf", true, ""},
      {"a.pdf", false, "another page of the batch has this name"},
      {"held.pdf", false, "Is a directory"},
      {"c.pdf", false, ""},
      {"d.pdf", true, ""},
  };
  Result<std::unique_ptr<PrintJob>> job = PrintJob::Open(PageDestination{"", "", "", folder});
  ASSERT_TRUE(job.ok()) << job.error().description;
  (*job)->Setup();
  const std::vector<testing::SampleBoleto> boletos = testing::TenBankBoletos();
  std::vector<Status> outcome(std::size(pages));
  std::unique_ptr<PrintJob> finished_job;
  {
    PagePipeline pipeline(std::move(*job), 2);
    for (size_t i = 0; i < std::size(pages); ++i) {
      const std::string line = testing::PrintedLineOf(boletos[i].barcode);
      pipeline.Add([line, page = pages[i], done = &outcome[i]](PrintJob& on) -> Status {
        on.NamePage(page.name, done);
        on.surface().SetCurrentX(600);
        on.surface().SetCurrentY(1440);
        *done = DrawBarcode(on.surface(), line);
        if (done->ok() && page.fails) *done = MakeError(error_number::kPrinterFailure, "cut");
        return *done;
      });
    }
    PagePipeline::Finished finished = pipeline.Finish();
    ASSERT_TRUE(finished.document.ok()) << finished.document.error().description;
    finished_job = std::move(finished.job);
  }
  // Nothing is in the folder until the job's page is completed.
  EXPECT_EQ(Names(folder), std::set<std::string>{"held.pdf"});
  ASSERT_TRUE(finished_job->CompletePage().ok());
  finished_job->Close();
  for (size_t i = 0; i < std::size(pages); ++i) {
    SCOPED_TRACE(i);
    if (pages[i].fails) {
      EXPECT_EQ(outcome[i].error().description, "cut");
    } else if (*pages[i].written == '\0') {
      EXPECT_TRUE(outcome[i].ok()) << outcome[i].error().description;
    } else {
      ASSERT_FALSE(outcome[i].ok());
      EXPECT_EQ(outcome[i].error().description, "Cannot write the page to " + folder + "/" +
                                                    pages[i].name + ": " + pages[i].written);
    }
  }
  EXPECT_EQ(Names(folder), (std::set<std::string>{"a.pdf", "c.pdf", "held.pdf"}));
  for (const auto& [file, boleto] : {std::pair{"a.pdf", 0}, std::pair{"c.pdf", 4}}) {
    const std::string pdf = folder + "/" + file;
    EXPECT_NE(testing::RunCommand("pdfinfo " + pdf).output.find("Pages:           1\n"),
              std::string::npos);
    testing::RunCommand("pdftoppm -r 150 -gray -png " + pdf + " " + folder + "/p");
    EXPECT_EQ(testing::RunCommand("zbarimg -q --raw -Sdisable -Si25.enable " + folder +
                                  "/p-1.png 2>/dev/null")
                  .output,
              boletos[boleto].barcode + "\n")
        << file;
    std::filesystem::remove(folder + "/p-1.png");
  }
  testing::RemoveTree(folder);
}

TEST(PageFolder, AFolderThatDoesNotExistIsRefusedBeforeAnythingIsDrawn) {
  const std::string folder = testing::MakeTempDir("boleto-page-folder-");
  for (const auto& [path, reason] : {std::pair{folder + "/missing", "No such file or directory"},
                                     std::pair{folder + "/file", "Not a directory"}}) {
    std::ofstream(folder + "/file") << "x";
    Result<std::unique_ptr<PrintJob>> job = PrintJob::Open(PageDestination{"", "", "", path});
    ASSERT_FALSE(job.ok());
    EXPECT_EQ(job.error().description, "Cannot write the page to " + path + ": " + reason);
    EXPECT_EQ(job.error().number, error_number::kPrinterFailure);
  }
  testing::RemoveTree(folder);
}

}  // namespace
}  // namespace boleto
