// Throughput of the bank rules: one complete boleto is the barcode fields,
// the bank's free field and texts, and the digitable line. Inputs cycle
// through a pool of pre-built installments so that no two calls in a row
// see the same number.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "bankrules/bank_fields.h"
#include "bankrules/barcode.h"
#include "bankrules/check_digits.h"
#include "platform/date.h"

namespace boleto {
namespace {

constexpr size_t kPool = 1024;

struct Installment {
  BankInput in;
  Currency amount;
};

std::string RandomDigits(std::mt19937& random, int length) {
  std::string s;
  for (int i = 0; i < length; ++i) s += static_cast<char>('0' + random() % 10);
  return s;
}

std::vector<Installment> Pool(const std::string& bank) {
  std::mt19937 random(42);
  std::vector<Installment> pool;
  for (size_t i = 0; i < kPool; ++i) {
    Installment x;
    BankInput& in = x.in;
    in.bank_code = bank;
    in.doc_number = RandomDigits(random, 1 + random() % 8);
    in.installment_no = RandomDigits(random, 1 + random() % 2);
    in.agencia_cobranca = RandomDigits(random, 4);
    in.conta_cobranca = RandomDigits(random, 5) + "-" + RandomDigits(random, 1);
    in.agency4 = Agency4(in.agencia_cobranca);
    in.account7 = Account7(in.conta_cobranca);
    in.account_digit = AccountDigit(in.conta_cobranca);
    const std::string code = bank == "104"   ? RandomDigits(random, i % 2 ? 6 : 16)
                             : bank == "001" ? RandomDigits(random, i % 2 ? 6 : 7)
                                             : RandomDigits(random, 11);
    in.identificacao_sr = MakeBeneficiaryCodeForms(code);
    in.carteira_sr = RandomDigits(random, 2);
    in.carteira_ext = bank == "033"   ? (i % 2 ? "101" : "102")
                      : bank == "399" ? (i % 2 ? "CNR" : "CSB")
                                      : RandomDigits(random, 3);
    in.gera_remessa_bol_sr = i % 2 ? "S" : "N";
    const Date due = Date::FromYmd(2025, 1, 1)->AddDays(static_cast<int64_t>(random() % 3000));
    in.due_date_digits = due.Format("DDMMYYYY");
    in.due_date_short = due.Format("DDMMYY");
    x.amount = Currency::FromCents(static_cast<int64_t>(random() % 100000000));
    pool.push_back(std::move(x));
  }
  return pool;
}

// One complete boleto per iteration: barcode fields, bank fields, line.
void BM_CompleteBoleto(benchmark::State& state, const char* bank) {
  const std::vector<Installment> pool = Pool(bank);
  size_t i = 0;
  for (auto _ : state) {
    const Installment& x = pool[i++ % kPool];
    Result<BarcodeFields> bf = ComposeBarcodeFields(x.in.bank_code, x.in.due_date_digits, x.amount);
    Result<BankFields> fields = ComposeBankFields(x.in);
    Result<DigitableLine> line =
        ComposeDigitableLine(bf->prefix, bf->factor_and_amount, fields->free_field);
    if (!line.ok()) state.SkipWithError(line.error().description.c_str());
    benchmark::DoNotOptimize(line);
  }
  state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(BM_CompleteBoleto, bank409, "409");
BENCHMARK_CAPTURE(BM_CompleteBoleto, bank237, "237");
BENCHMARK_CAPTURE(BM_CompleteBoleto, bank001, "001");
BENCHMARK_CAPTURE(BM_CompleteBoleto, bank033, "033");
BENCHMARK_CAPTURE(BM_CompleteBoleto, bank356, "356");
BENCHMARK_CAPTURE(BM_CompleteBoleto, bank341, "341");
BENCHMARK_CAPTURE(BM_CompleteBoleto, bank399, "399");
BENCHMARK_CAPTURE(BM_CompleteBoleto, bank104, "104");
BENCHMARK_CAPTURE(BM_CompleteBoleto, bank756, "756");
BENCHMARK_CAPTURE(BM_CompleteBoleto, bank021, "021");

// The stages apart, over the Itaú pool.
void BM_BarcodeFields(benchmark::State& state) {
  const std::vector<Installment> pool = Pool("341");
  size_t i = 0;
  for (auto _ : state) {
    const Installment& x = pool[i++ % kPool];
    benchmark::DoNotOptimize(ComposeBarcodeFields("341", x.in.due_date_digits, x.amount));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BarcodeFields);

void BM_DigitableLine(benchmark::State& state) {
  const std::vector<Installment> pool = Pool("341");
  std::vector<std::string> free_fields;
  for (const Installment& x : pool) free_fields.push_back(ComposeBankFields(x.in)->free_field);
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        ComposeDigitableLine("3419", "10470000015000", free_fields[i++ % kPool]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DigitableLine);

void BM_BarcodeCheckDigit(benchmark::State& state) {
  const std::string digits = "3419104700000150001090012340100123123456000";
  for (auto _ : state) benchmark::DoNotOptimize(CheckDigitByMethod("S", digits));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BarcodeCheckDigit);

}  // namespace
}  // namespace boleto
