#include "ledger/batch_writes.h"

#include <map>
#include <optional>
#include <vector>

#include "db/sql_text.h"
#include "ledger/document_number.h"
#include "ledger/remittance.h"
#include "platform/text.h"

namespace boleto {
namespace {

// The installments of one series among those written together.
using BySeries = std::map<SeriesKey, std::vector<CheckedInstallment*>>;

BySeries GroupBySeries(std::span<CheckedInstallment* const> installments) {
  BySeries by_series;
  for (CheckedInstallment* installment : installments) {
    by_series[SeriesOf(installment->writes.key)].push_back(installment);
  }
  return by_series;
}

std::set<std::string> NumerosOf(std::span<CheckedInstallment* const> installments) {
  std::set<std::string> numeros;
  for (const CheckedInstallment* installment : installments) {
    numeros.insert(installment->writes.key.numero);
  }
  return numeros;
}

// The installments of `installments` that have no remittance row yet; an
// error when they cannot be read.
Result<std::vector<CheckedInstallment*>> WithoutRemittanceRow(
    Database& db, std::span<CheckedInstallment* const> installments) {
  std::vector<CheckedInstallment*> without;
  for (const auto& [series, members] : GroupBySeries(installments)) {
    BOLETO_ASSIGN_OR_RETURN(RowSet rows, db.Query("SELECT NUMERO AS Numero FROM REMESSAR WHERE " +
                                                  SeriesWhere(series, NumerosOf(members), "")));
    std::set<std::string> queued;  // their numbers without the blanks that end them
    for (; !rows.eof(); rows.MoveNext()) {
      BOLETO_ASSIGN_OR_RETURN(const std::string numero, rows.Text("Numero"));
      queued.insert(std::string(TrimRightBlanks(numero)));
    }
    for (CheckedInstallment* member : members) {
      if (!queued.contains(std::string(TrimRightBlanks(member->writes.key.numero)))) {
        without.push_back(member);
      }
    }
  }
  return without;
}

// Draws the bank reference numbers of `installments`, company by company in
// their order, as their own draws one after another would.
Status DrawReferenceNumbers(Database& db, std::span<CheckedInstallment* const> installments) {
  std::map<std::string, std::vector<CheckedInstallment*>> by_company;
  for (CheckedInstallment* installment : installments) {
    by_company[installment->ctx->params.codigo_emp].push_back(installment);
  }
  for (const auto& [company, members] : by_company) {
    BOLETO_ASSIGN_OR_RETURN(const std::vector<std::string> numbers,
                            DrawDocumentNumbers(db, company, kReferenceSequence, members.size(),
                                                members.front()->ctx->decimal_mark));
    for (size_t i = 0; i < members.size(); ++i) members[i]->writes.ref_bancaria = numbers[i];
  }
  return Status::Ok();
}

// Reads the documents of `installments` and queues their remittance rows,
// each as its own recording queues it (none where its bank reference is
// blank). An error when one of them is not found once.
Status QueueRemittanceRows(Database& db, Dialect dialect,
                           std::span<CheckedInstallment* const> installments) {
  for (const auto& [series, members] : GroupBySeries(installments)) {
    std::map<std::string, CheckedInstallment*> by_numero;
    for (CheckedInstallment* member : members) {
      const std::string numero(TrimRightBlanks(member->writes.key.numero));
      if (!by_numero.emplace(numero, member).second) {
        return MakeError(error_number::kOdbcCallFailed, "One installment twice.");
      }
    }
    const std::set<std::string> numeros = NumerosOf(members);
    const std::vector<std::string> listed(numeros.begin(), numeros.end());
    BOLETO_ASSIGN_OR_RETURN(RowSet rows, db.Query(RemittanceInstallmentSql(
                                             dialect, members.front()->writes.key, listed)));
    size_t queued = 0;
    for (; !rows.eof(); rows.MoveNext()) {
      BOLETO_ASSIGN_OR_RETURN(const std::string numero, rows.Text("Numero"));
      const auto member = by_numero.find(std::string(TrimRightBlanks(numero)));
      if (member == by_numero.end()) continue;
      CheckedInstallment& installment = *member->second;
      BOLETO_ASSIGN_OR_RETURN(RemittanceRecord record,
                              ReadRemittanceRecord(*installment.ctx, rows));
      record.ref_bancaria = *installment.writes.ref_bancaria;
      record.id_bancaria = installment.writes.bank_reference;
      by_numero.erase(member);
      ++queued;
      // Without a bank reference the bank could not match the payment.
      if (record.id_bancaria.find_first_not_of(' ') == std::string::npos) continue;
      BOLETO_ASSIGN_OR_RETURN(const std::string insert,
                              RemittanceInsertSql(*installment.ctx, record));
      BOLETO_RETURN_IF_ERROR(db.Execute(insert).status());
    }
    if (queued != members.size()) {
      return MakeError(error_number::kNoCurrentRecord, "An installment was not found.");
    }
  }
  return Status::Ok();
}

// The writes of `installments` in the transaction opened for them; the
// installments written, an error when anything failed.
Result<std::vector<CheckedInstallment*>> WriteInTransaction(
    Database& db, Dialect dialect, std::span<CheckedInstallment* const> installments) {
  std::vector<CheckedInstallment*> written;
  std::vector<CheckedInstallment*> remitting;
  for (CheckedInstallment* installment : installments) {
    (installment->ctx->bank.gera_remessa_bol_sr == "S" ? remitting : written)
        .push_back(installment);
  }
  if (!remitting.empty()) {
    BOLETO_ASSIGN_OR_RETURN(remitting, WithoutRemittanceRow(db, remitting));
    BOLETO_RETURN_IF_ERROR(DrawReferenceNumbers(db, remitting));
    BOLETO_RETURN_IF_ERROR(QueueRemittanceRows(db, dialect, remitting));
    written.insert(written.end(), remitting.begin(), remitting.end());
  }
  for (const auto& [series, members] : GroupBySeries(written)) {
    std::vector<const InstallmentWrites*> writes;
    for (const CheckedInstallment* member : members) writes.push_back(&member->writes);
    BOLETO_ASSIGN_OR_RETURN(const int64_t updated,
                            db.Execute(WritesTogetherSql(dialect, series, writes)));
    if (updated != static_cast<int64_t>(members.size())) {
      return MakeError(error_number::kNoCurrentRecord, "An installment was not found once.");
    }
  }
  return written;
}

}  // namespace

SeriesKey SeriesOf(const InstallmentKey& key) {
  return {key.codigo_emp, key.codigo_unidade, key.codigo_documento, key.serie, key.parcela};
}

std::string SeriesWhere(const SeriesKey& series, const std::set<std::string>& numeros,
                        std::string_view table) {
  const std::string t(table);
  return t + "CodigoEmp = '" + SqlQuote(std::get<0>(series)) + "' AND " + t + "CodigoUnidade = '" +
         SqlQuote(std::get<1>(series)) + "' AND " + t + "CodigoDocumento = '" +
         SqlQuote(std::get<2>(series)) + "' AND " + t + "Serie = '" +
         SqlQuote(std::get<3>(series)) + "' AND " +
         (table == "DOCUMENTOR." ? ""
                                 : t + "Parcela = '" + SqlQuote(std::get<4>(series)) + "' AND ") +
         t + "Numero " + SqlInList(numeros);
}

std::string WritesTogetherSql(Dialect dialect, const SeriesKey& series,
                              std::span<const InstallmentWrites* const> writes) {
  std::set<std::string> numeros;
  std::set<std::string> with_fee;
  std::string fee = "ValorOutroC = CASE";
  std::string reference = "IDBancaria = CASE";
  std::string receipt = "NumeroRecebimento = CASE";
  std::string programada = "Programada = CASE";
  std::string ref_bancaria = "RefBancaria = CASE";
  bool programada_set = false;
  bool ref_bancaria_set = false;
  for (const InstallmentWrites* w : writes) {
    const std::string when = " WHEN Numero = '" + SqlQuote(w->key.numero) + "' THEN ";
    numeros.insert(w->key.numero);
    if (w->fee) {
      with_fee.insert(w->key.numero);
      fee += when + SqlNullAsZero(dialect, "ValorOutroC") + " + " + *w->fee;
    }
    reference += when + "'" + SqlQuote(w->bank_reference) + "'";
    receipt += when + "'" + SqlQuote(w->receipt_number) + "'";
    if (w->programada) {
      programada_set = true;
      programada += when + *w->programada;
    }
    if (w->ref_bancaria) {
      ref_bancaria_set = true;
      ref_bancaria += when + "'" + SqlQuote(*w->ref_bancaria) + "'";
    }
  }
  std::string sql = "UPDATE PARCELAR SET ";
  if (!with_fee.empty()) sql += fee + " ELSE ValorOutroC END, ";
  if (ref_bancaria_set) sql += ref_bancaria + " ELSE RefBancaria END, ";
  sql += reference + " END, " + receipt + " END, DoctoRecebimento = " + ReceiptDocumentSql();
  if (programada_set) sql += ", " + programada + " ELSE Programada END";
  sql += " WHERE " + SeriesWhere(series, numeros, "");
  if (!with_fee.empty()) {
    sql += " AND (DoctoRecebimento IS NULL OR DoctoRecebimento <> " + ReceiptDocumentSql() +
           " OR NOT (" + SeriesWhere(series, with_fee, "") + "))";
  }
  return sql;
}

void WriteTogether(Database& db, Dialect dialect,
                   std::span<CheckedInstallment* const> installments) {
  if (installments.empty()) return;
  LockDeadline deadline(db);
  Transaction together(db);
  if (!together.Begin().ok()) return;
  Result<std::vector<CheckedInstallment*>> written = WriteInTransaction(db, dialect, installments);
  if (!written.ok() || !together.Commit().ok()) return;
  for (CheckedInstallment* installment : *written) installment->written = true;
}

}  // namespace boleto
