// The Debian package made from this build tree by CPack, as scripts/package
// makes it: lintian finds no error in it; its fields name the libraries
// dpkg-shlibdeps found and those the program opens while it runs; unpacked
// with dpkg-deb into a scratch folder, it holds the program, its data, its
// manual pages and its copyright, and its program prints the demo boleto of
// bank 001 to a picture whose bars decode. It ships the demo: its
// boleto-sr-demo-db creates, from the unpacked files alone, a demo database
// whose print directory is the unpacked logos, and the demo boleto printed
// from it to a PDF decodes. For those runs the system's font configuration
// is an empty one: the unpacked program prints only if it finds the font
// configuration it was unpacked with, beside itself, without the checkout or
// the build tree.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "e2e/program_runner.h"
#include "support/paths.h"
#include "support/sqlite_fixture.h"

namespace boleto::testing {
namespace {

namespace fs = std::filesystem;

// Making the package strips and compresses the program (seconds): five
// minutes allow for a loaded machine.
constexpr int kPackLimitMs = 5 * 60 * 1000;

class Package : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = MakeTempDir("bolpkg"); }
  void TearDown() override { RemoveTree(dir_); }
  std::string dir_;
};

TEST_F(Package, UnpackedProgramPrintsTheDemoBoletoWithItsOwnFiles) {
#ifdef BOLETO_SANITIZED
  GTEST_SKIP() << "packages are made from the plain build, not the sanitizer build";
#endif
  ASSERT_NE(dir_, "");
  const ProgramRun packed = RunProgram(
      BOLETO_CPACK, {"-G", "DEB", "--config", BOLETO_BUILD_DIR "/CPackConfig.cmake", "-B", dir_},
      {}, kPackLimitMs);
  ASSERT_EQ(packed.exit_status, 0) << packed.out << packed.err;
  std::vector<std::string> debs;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    if (entry.path().extension() == ".deb") debs.push_back(entry.path().string());
  }
  ASSERT_EQ(debs.size(), 1u) << packed.out;
  const std::string deb = debs[0];
  EXPECT_NE(fs::path(deb).filename().string().find("boleto-sr_"), std::string::npos) << deb;

  // lintian finds no error (the overridden ones are explained in
  // packaging/lintian-overrides). Its cache files (mldbm-elf-*) go to the
  // test's folder, not /tmp, which they would outlive.
  const ProgramRun lintian =
      RunProgram("/usr/bin/lintian", {"--fail-on", "error", deb}, {"TMPDIR=" + dir_});
  EXPECT_EQ(lintian.exit_status, 0) << lintian.out << lintian.err;

  const std::string depends = RunProgram("/usr/bin/dpkg-deb", {"-f", deb, "Depends"}).out;
  // libodbc2 and libc6 come from dpkg-shlibdeps; the others are opened at
  // run time, where it cannot see them.
  for (const char* package :
       {"libodbc2", "libc6", "libcups2", "libqpdf29", "fonts-liberation2", "fonts-dejavu-core"}) {
    EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
  }

  const std::string root = dir_ + "/root";
  const ProgramRun unpacked = RunProgram("/usr/bin/dpkg-deb", {"-x", deb, root});
  ASSERT_EQ(unpacked.exit_status, 0) << unpacked.err;
  for (const char* file :
       {"usr/bin/boleto-sr", "usr/bin/boleto-sr-demo-db", "usr/share/boleto-sr/fonts.conf",
        "usr/share/boleto-sr/sql/schema.sqlite.sql",
        "usr/share/boleto-sr/sql/schema.postgresql.sql", "usr/share/boleto-sr/sql/demo.sql",
        "usr/share/boleto-sr/demo/print/BMP/01/LOGOBOLR.BMP",
        "usr/share/boleto-sr/demo/print/BMP/001/LOGO.BMP", "usr/share/man/man1/boleto-sr.1.gz",
        "usr/share/man/man1/boleto-sr-demo-db.1.gz", "usr/share/doc/boleto-sr/copyright",
        "usr/share/doc/boleto-sr/changelog.gz"}) {
    EXPECT_TRUE(fs::is_regular_file(root + "/" + file)) << file;
  }
  const ProgramRun man = RunProgram(
      "/usr/bin/man", {"--warnings", "-l", root + "/usr/share/man/man1/boleto-sr-demo-db.1.gz"},
      {"LC_ALL=C.UTF-8", "MANWIDTH=100", "MANPAGER=cat", "PAGER=cat"});
  EXPECT_EQ(man.exit_status, 0) << man.err;
  EXPECT_EQ(man.err, "");

  auto fixture = SqliteFixture::Create();
  ASSERT_TRUE(fixture.ok()) << fixture.error().description;
  const Status loaded = (*fixture)->Run(DemoRowsSql());
  ASSERT_TRUE(loaded.ok()) << loaded.error().description;
  const std::string no_fonts = dir_ + "/no-fonts.conf";
  std::ofstream(no_fonts) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
  std::string connect = (*fixture)->connect_string();
  connect.resize(63, ' ');
  // Installment DM 1 1003/01 of company 01, unit 01: bank 001.
  const std::string text =
      "SQLITE         " + connect + " 01 01       DM         1   1003     01 PACKAGE        ";
  const std::string png = dir_ + "/boleto.png";
  const ProgramRun run = RunProgram(root + "/usr/bin/boleto-sr", {"--output", png, text},
                                    {"FONTCONFIG_FILE=" + no_fonts});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // The barcode of that installment, as boleto_banks_test composes it: bank
  // 001, currency 9, check digit 1, due-date factor 1437 (05/05/2026), 987,65,
  // free field.
  const std::string bars = RunProgram("/usr/bin/zbarimg", {"--raw", "-q", png}).out;
  EXPECT_EQ(bars, "00191143700000987650000001234567000010030118\n");

  // The demo as the README and the manual pages show it, run by a user whose
  // home folder is the scratch folder and who finds the unpacked commands
  // first: the database is made from the unpacked files alone and its print
  // directory is the unpacked logos (paths as the script resolves them).
  const std::string real_dir = fs::canonical(dir_).string();
  const std::string pdf = dir_ + "/boleto-demo/boleto.pdf";
  const ProgramRun demo = RunProgram(
      "/bin/bash",
      {"-c",
       "set -o pipefail\n"
       "text=\"$(boleto-sr-demo-db --sqlite ~/boleto-demo/demo.db --arguments | "
       "grep ' 1003     01 ')\"\n"
       "boleto-sr --output ~/boleto-demo/boleto.pdf \"$text\""},
      {"HOME=" + dir_, "PATH=" + root + "/usr/bin:/usr/bin:/bin", "FONTCONFIG_FILE=" + no_fonts});
  ASSERT_EQ(demo.exit_status, 0) << demo.err;
  EXPECT_EQ(demo.err, "DRIVER=SQLite3;Database=" + real_dir + "/boleto-demo/demo.db\n");
  const ProgramRun print_dir = RunProgram(
      "/usr/bin/sqlite3",
      {"-batch", "-noheader", dir_ + "/boleto-demo/demo.db", "SELECT LOCALANEXO FROM PARAMIMP;"});
  EXPECT_EQ(print_dir.out, real_dir + "/root/usr/share/boleto-sr/demo/print\n") << print_dir.err;
  ASSERT_EQ(RunProgram("/usr/bin/pdftoppm", {"-r", "150", "-gray", "-png", "-singlefile", pdf,
                                             dir_ + "/boleto-demo/page"})
                .exit_status,
            0);
  EXPECT_EQ(RunProgram("/usr/bin/zbarimg", {"--raw", "-q", dir_ + "/boleto-demo/page.png"}).out,
            bars);
}

}  // namespace
}  // namespace boleto::testing
