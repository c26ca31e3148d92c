#include "startup/batch_progress.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace boleto {
namespace {

// The line at moments of a batch of 10,000 lines (or of recording 10,000
// installments) and of smaller ones.
TEST(ProgressLineTest, RateAndTimeLeftOnlyWhenTheyMeanSomethingAndForTheWholeRun) {
  using enum BatchPhase;
  struct Case {
    const char* why;
    ProgressMoment moment;
    const char* line;
  };
  const Case cases[] = {
      {"one boleto says nothing of the rate",
       {kPrinting, 1, 10000, 1, 0.01, 0},
       "imprimindo 1/10000"},
      {"19 boletos in 1.9 s are not yet enough",
       {kPrinting, 19, 10000, 19, 1.9, 0},
       "imprimindo 19/10000"},
      {"20 boletos are: the lines left and the recording of every page",
       {kPrinting, 20, 10000, 20, 0.02, 0},
       "imprimindo 20/10000  1000 boletos/s  restam 0:15"},
      {"2 seconds are: half the lines refused, half the pages to record",
       {kPrinting, 10, 100, 5, 2.0, 0},
       "imprimindo 10/100  5 boletos/s  restam 0:23"},
      {"near the end of printing the recording is still ahead",
       {kPrinting, 9000, 10000, 9000, 9.0, 0},
       "imprimindo 9000/10000  1000 boletos/s  restam 0:06"},
      {"minutes",
       {kPrinting, 100, 1000, 100, 60.0, 0},
       "imprimindo 100/1000  2 boletos/s  restam 14:00"},
      {"recording starts with the printing's measure",
       {kRecording, 5, 1000, 0, 0.1, 0.01},
       "gravando 5/1000  restam 0:05"},
      {"recording without a measure says nothing",
       {kRecording, 5, 1000, 0, 0.1, 0},
       "gravando 5/1000"},
      {"then at its own rate",
       {kRecording, 500, 2500, 0, 0.25, 0.001},
       "gravando 500/2500  2000 boletos/s  restam 0:01"},
      {"the last one",
       {kRecording, 2500, 2500, 0, 1.25, 0.001},
       "gravando 2500/2500  2000 boletos/s  restam 0:00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressLine(c.moment), c.line) << c.why;
  }
}

// With a clock of the test's: the line is due every 200 ms, and the
// recording is measured from its own start, at first by the printing's time
// per line.
TEST(BatchProgressTest, RewrittenAtMostEvery200MsAndRecordingMeasuredFromItsStart) {
  using namespace std::chrono_literals;
  const BatchProgress::Clock::time_point start{};
  BatchProgress progress(start);
  EXPECT_EQ(progress.Update(start + 10ms, 1, 1000, 1), "imprimindo 1/1000");
  EXPECT_EQ(progress.Update(start + 100ms, 10, 1000, 10), std::nullopt);
  EXPECT_EQ(progress.Update(start + 100ms, 10, 1000, 10, /*force=*/true), "imprimindo 10/1000");
  EXPECT_EQ(progress.Update(start + 400ms, 40, 1000, 40),
            "imprimindo 40/1000  100 boletos/s  restam 0:15");
  EXPECT_EQ(progress.Update(start + 9s, 1000, 1000, 1000),
            "imprimindo 1000/1000  111 boletos/s  restam 0:05");
  progress.StartRecording(start + 10s);  // 10 ms a line, delivery included
  EXPECT_EQ(progress.Update(start + 10s + 50ms, 10, 1000, 1000), "gravando 10/1000  restam 0:05");
  EXPECT_EQ(progress.Update(start + 10s + 250ms, 100, 1000, 1000),
            "gravando 100/1000  400 boletos/s  restam 0:03");
}

}  // namespace
}  // namespace boleto
