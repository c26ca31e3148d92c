#include "print/page_pipeline.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "print/cairo_page_surface.h"
#include "print/recording_surface.h"

namespace boleto {
namespace {

// A surface of many pages that writes down what happens to it: each text
// printed and each new page.
class PagedSurface : public RecordingSurface {
 public:
  Status PrintText(std::string_view text) override {
    log.push_back(std::string(text));
    blank_ = false;
    return RecordingSurface::PrintText(text);
  }
  bool PageBlank() const override { return blank_; }
  Status NewPage() override {
    log.push_back("new page");
    blank_ = true;
    return Status::Ok();
  }

  std::vector<std::string> log;

 private:
  bool blank_ = true;
};

PagePipeline::DrawPage Prints(std::string text) {
  return [text](PrintJob& job) { return job.surface().PrintText(text); };
}

PagePipeline::DrawPage FailsAfterPrinting(std::string text) {
  return [text](PrintJob& job) -> Status {
    BOLETO_RETURN_IF_ERROR(job.surface().PrintText(text));
    return Status(MakeError(error_number::kPrinterFailure, "half a page"));
  };
}

PagePipeline::DrawPage FailsBeforeDrawing() {
  return [](PrintJob&) -> Status {
    return Status(MakeError(error_number::kPrinterFailure, "no page"));
  };
}

TEST(PagePipelineTest, PagesFollowOneAnotherInTheOrderAdded) {
  auto owned = std::make_unique<PagedSurface>();
  PagedSurface& surface = *owned;
  PrintJob job(std::move(owned));
  PagePipeline pages(job, 1);  // the adding waits for the drawing
  for (const char* text : {"1", "2", "3", "4"}) pages.Add(Prints(text));
  const std::vector<Status> drawn = pages.Finish();
  ASSERT_EQ(drawn.size(), 4u);
  for (const Status& page : drawn) EXPECT_TRUE(page.ok());
  EXPECT_EQ(surface.log,
            (std::vector<std::string>{"1", "new page", "2", "new page", "3", "new page", "4"}));
}

TEST(PagePipelineTest, AFailedPageLeavesNoBlankPageButKeepsAPartlyDrawnOne) {
  auto owned = std::make_unique<PagedSurface>();
  PagedSurface& surface = *owned;
  PrintJob job(std::move(owned));
  PagePipeline pages(job, 2);
  pages.Add(FailsBeforeDrawing());
  pages.Add(Prints("1"));
  pages.Add(FailsBeforeDrawing());
  pages.Add(Prints("2"));
  pages.Add(FailsAfterPrinting("half"));
  pages.Add(Prints("3"));
  const std::vector<Status> drawn = pages.Finish();
  ASSERT_EQ(drawn.size(), 6u);
  EXPECT_EQ(drawn[0].error().description, "no page");
  EXPECT_TRUE(drawn[1].ok());
  EXPECT_FALSE(drawn[2].ok());
  EXPECT_TRUE(drawn[3].ok());
  EXPECT_EQ(drawn[4].error().description, "half a page");
  EXPECT_TRUE(drawn[5].ok());
  EXPECT_EQ(surface.log,
            (std::vector<std::string>{"1", "new page", "2", "new page", "half", "new page", "3"}));
}

TEST(CairoPageBlankTest, BlankUntilDrawnUponAndAgainOnANewPage) {
  Result<std::unique_ptr<CairoPageSurface>> page = CairoPageSurface::Create(PageFormat::kPdf, {});
  ASSERT_TRUE(page.ok());
  CairoPageSurface& surface = **page;
  EXPECT_TRUE(surface.PageBlank());
  ASSERT_TRUE(surface.DrawLine(0, 0, 1440, 0, kBlack).ok());
  EXPECT_FALSE(surface.PageBlank());
  ASSERT_TRUE(surface.NewPage().ok());
  EXPECT_TRUE(surface.PageBlank());
  ASSERT_TRUE(surface.FillRectangle(0, 0, 1440, 1440, kBlack).ok());
  EXPECT_FALSE(surface.PageBlank());
}

}  // namespace
}  // namespace boleto
