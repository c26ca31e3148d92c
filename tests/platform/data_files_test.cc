// The data folder of programs built here is the build tree's
// share/boleto-sr, found from the test program's own folder as the installed
// program finds /usr/share/boleto-sr from /usr/bin.
#include "platform/data_files.h"

#include <gtest/gtest.h>

#include "support/paths.h"

namespace boleto {
namespace {

TEST(DataFilesTest, TheFontConfigurationIsTheCopyOfTheSources) {
  const std::string file = ProgramDataFile("fonts.conf");
  ASSERT_NE(file, "");
  EXPECT_NE(file.find("/share/boleto-sr/fonts.conf"), std::string::npos) << file;
  EXPECT_EQ(testing::ReadFile(file),
            testing::ReadFile(testing::SourceDir() + "/src/print/fonts.conf"));
}

TEST(DataFilesTest, AFileNotThereHasNoPath) {
  EXPECT_EQ(ProgramDataFile("no-such-file.conf"), "");
  EXPECT_EQ(ProgramDataFile(""), "");  // the folder itself is no file
}

}  // namespace
}  // namespace boleto
