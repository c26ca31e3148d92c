#include "platform/directories.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/paths.h"

namespace boleto {
namespace {

class DirectoryMissingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = testing::MakeTempDir("directories_");
    ASSERT_FALSE(root_.empty());
    std::filesystem::create_directories(root_ + "/BMP/001");
    std::filesystem::create_directories(root_ + "/.hidden");
    std::ofstream(root_ + "/BMP/001/LOGO.BMP") << "BM";
  }
  void TearDown() override { testing::RemoveTree(root_); }
  std::string root_;
};

TEST_F(DirectoryMissingTest, Outcomes) {
  struct Row {
    std::string path;
    bool missing;
  } rows[] = {
      {root_, false},                           // an existing directory
      {root_ + "/BMP", false},                  //
      {root_ + "/", true},                      // written with a closing separator
      {root_ + "/BMP\\", true},                 //   in either form
      {root_ + "/BMP/.", true},                 // the folder's own "." entry
      {root_ + "\\BMP\\.", true},               //
      {".", true},                              //
      {root_ + "/.hidden", false},              // a folder whose name starts with "."
      {root_ + "\\BMP\\001", false},            // backslashes as separators
      {root_ + "/BMP/001/LOGO.BMP", false},     // an existing file (the bank logo check)
      {root_ + "\\BMP\\001\\LOGO.BMP", false},  //
      {root_ + "/BMP/002", true},               // nothing there
      {root_ + "/BMP/001/LOGOBOLR.BMP", true},  //
      {"", true},                               //
      {root_ + std::string("\0x", 2), true},    // a NUL cuts no path short
  };
  for (const Row& row : rows) EXPECT_EQ(DirectoryMissing(row.path), row.missing) << row.path;
}

}  // namespace
}  // namespace boleto
