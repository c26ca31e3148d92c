// The two parties as the boleto reads them from a real SQLite database with
// the demo rows: which payer query runs for the billing-address setting,
// which tax-number layout the registry kind selects, and what a missing
// row leaves on the page.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "boleto/parties.h"
#include "support/paths.h"
#include "support/sqlite_fixture.h"

namespace boleto {
namespace {

using ::boleto::testing::ReadFile;
using ::boleto::testing::SourceDir;
using ::boleto::testing::SqliteFixture;

class PartiesReading : public ::testing::Test {
 protected:
  void SetUp() override {
    auto fx = SqliteFixture::Create();
    ASSERT_TRUE(fx.ok()) << fx.error().description;
    fixture_ = std::move(*fx);
    std::string demo = ReadFile(SourceDir() + "/sql/demo.sql");
    ASSERT_FALSE(demo.empty());
    const std::string marker = "@DEMO_PRINT_DIR@";
    demo.replace(demo.find(marker), marker.size(), "/nowhere");
    Status loaded = fixture_->Run(demo);
    ASSERT_TRUE(loaded.ok()) << loaded.error().description;
    tracing_ = std::make_unique<TracingDatabase>(fixture_->db());
  }

  // The three printed lines of the payer `code` with billing address `end`.
  std::vector<std::string> PayerLines(const std::string& code, const std::string& end) {
    tracing_->statements.clear();
    Result<Payer> payer = ReadPayer(*tracing_, "C", code, end);
    if (!payer.ok()) return {"<" + payer.error().description + ">"};
    return {payer->Line1(), payer->Line2(), payer->Line3()};
  }

  // How many of the traced queries read the registry's numbered addresses
  // (SUPAENDR) and how many only its own address.
  std::pair<int, int> QueriesRun() const {
    int addresses = 0, registry = 0;
    for (const auto& s : tracing_->statements) {
      if (s.sql.find("FROM   SUPAEMPR, SUPAENDR ") != std::string::npos) ++addresses;
      if (s.sql.find("FROM   SUPAEMPR WHERE ") != std::string::npos) ++registry;
    }
    return {addresses, registry};
  }

  std::unique_ptr<SqliteFixture> fixture_;
  std::unique_ptr<TracingDatabase> tracing_;
};

TEST_F(PartiesReading, BillingAddressThatExistsIsPrintedFromTheAddressTable) {
  // Demo payer 000001 has address 02 in SUPAENDR: RUA DO COMÉRCIO 77, SALA 4,
  // CENTRO, JUNDIAÍ, CEP 13201005; the name still comes from the registry.
  EXPECT_EQ(
      PayerLines("000001", "02"),
      (std::vector<std::string>{"CONFECÇÕES BOA VISTA LTDA - 61.740.258/0001-19",
                                "RUA DO COMÉRCIO,77/SALA 4", "CENTRO-JUNDIAÍ-SP CEP:13201-005"}));
  EXPECT_EQ(QueriesRun(), std::make_pair(1, 0)) << "no fallback when the address exists";
}

TEST_F(PartiesReading, OwnAddressWhenConfiguredOrWhenTheBillingAddressIsMissing) {
  const std::vector<std::string> own = {"CONFECÇÕES BOA VISTA LTDA - 61.740.258/0001-19",
                                        "AVENIDA PAULISTA,1000/CONJ 12",
                                        "BELA VISTA-SÃO PAULO-SP CEP:01310-100"};
  EXPECT_EQ(PayerLines("000001", "00"), own);
  EXPECT_EQ(QueriesRun(), std::make_pair(0, 1)) << "\"00\": only the registry is read";
  EXPECT_EQ(PayerLines("000001", "05"), own);
  EXPECT_EQ(QueriesRun(), std::make_pair(1, 1)) << "no address 05: the registry's own";
}

TEST_F(PartiesReading, OnlyTheKindFSelectsTheCpf) {
  // Payer 000002 is an individual with CPF 71460238508; given a CGC as well,
  // any kind other than "F" prints the CGC in the CNPJ layout instead.
  ASSERT_TRUE(fixture_
                  ->Run("UPDATE SUPAEMPR SET AEMPR_CGC = '012345678000195' "
                        "WHERE AEMPR_CODIGO = '000002'")
                  .ok());
  const struct {
    const char* kind;
    const char* line1;
  } rows[] = {
      {"'F'", "JOSÉ DA CONCEIÇÃO - 714.602.385-08"},
      {"'J'", "JOSÉ DA CONCEIÇÃO - 12.345.678/0001-95"},
      {"''", "JOSÉ DA CONCEIÇÃO - 12.345.678/0001-95"},
      {"'f'", "JOSÉ DA CONCEIÇÃO - 12.345.678/0001-95"},
      {"NULL", "JOSÉ DA CONCEIÇÃO - 12.345.678/0001-95"},
  };
  for (const auto& row : rows) {
    ASSERT_TRUE(fixture_
                    ->Run(std::string("UPDATE SUPAEMPR SET AEMPR_CGC_CPF = ") + row.kind +
                          " WHERE AEMPR_CODIGO = '000002'")
                    .ok());
    EXPECT_EQ(PayerLines("000002", "00").at(0), row.line1) << "kind " << row.kind;
  }
}

TEST_F(PartiesReading, NoPayerRowLeavesTheSeparatorsOnly) {
  EXPECT_EQ(PayerLines("999999", "02"), (std::vector<std::string>{" - ", ",/", "-- CEP:"}));
  EXPECT_EQ(QueriesRun(), std::make_pair(1, 1));
}

TEST_F(PartiesReading, Beneficiary) {
  // EMPRESA 01: CGC 48325719000129 printed in full thanks to the "0" put in
  // front; street, district, city and state joined by single blanks.
  Result<Beneficiary> b = ReadBeneficiary(*tracing_, "01", "TECELAGEM MODELO LTDA   ");
  ASSERT_TRUE(b.ok()) << b.error().description;
  EXPECT_EQ(b->name, "TECELAGEM MODELO LTDA");
  EXPECT_EQ(b->tax_id, "48.325.719/0001-29");
  EXPECT_EQ(b->address, "RUA DAS INDÚSTRIAS, 500 DISTRITO INDUSTRIAL JUNDIAÍ SP");

  // No company row: no tax number, no address; the name is the parameters'.
  Result<Beneficiary> none = ReadBeneficiary(*tracing_, "99", "OUTRA  ");
  ASSERT_TRUE(none.ok()) << none.error().description;
  EXPECT_EQ(none->name, "OUTRA");
  EXPECT_EQ(none->tax_id, "");
  EXPECT_EQ(none->address, "");
}

}  // namespace
}  // namespace boleto
