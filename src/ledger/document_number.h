// The per-company document-number sequences of DOCNUMERO: one row per
// company and document code ("REFBANCAR " numbers the bank references of the
// remittances) holding the last number handed out, 10 digits zero-padded.
// Document codes and numbers are cut or blank-padded to 10 characters in
// every statement, so "REFBANCAR" and "REFBANCAR " name the same sequence.
//
// Drawing a number is atomic: the new number is written only while the
// number read is still the stored one (an update that affects one row or
// none), and the first row of a sequence is inserted under the table's key,
// so of two programs drawing at the same moment one waits its turn instead
// of both obtaining the same number.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"
#include "platform/status.h"
#include "run/run_context.h"

namespace boleto {

// What ReadDocumentNumber returns when a sequence has no row (or the lookup
// failed).
inline constexpr char kNotRegistered[] = "NAO CADASTRADO";

// The document code or number as the statements write it: followed by
// blanks and cut to 10 characters.
std::string DocumentField(std::string_view value);

// The stored NUMERO of the company's sequence `code` (restricted to `number`
// when that is not blank), as read; kNotRegistered when no row matches. Any
// failure is reported with "Erro na Verificação do Documento Padrão: " and
// the code, and also gives kNotRegistered, with the error shown.
Recovered<std::string> ReadDocumentNumber(RunContext& ctx, std::string_view company,
                                          std::string_view code, std::string_view number);

// Stores `number` in the sequence: mode "A" updates the existing row, any
// other mode inserts the first one. True when the statement was committed
// (an update that matched no row included); a failure is reported with
// "Erro na Atualização do Documento Padrão: " and the code, and gives false.
bool WriteDocumentNumber(RunContext& ctx, std::string_view mode, std::string_view company,
                         std::string_view code, std::string_view number);

// The number that follows `stored` (a number read from DOCNUMERO): its value
// plus one as 10 digits zero-padded ("0000000041" gives "0000000042"). A
// stored text that is not digits (blanks around them aside) is error 13
// naming DOCNUMERO.NUMERO: "abc", "", "2026-02-30" and "-5" never restart or
// skip the sequence.
Result<std::string> NextDocumentNumber(std::string_view stored, std::string_view decimal_mark);

// Draws the next number of the company's sequence `code` and stores it:
// "0000000001" inserted for a sequence without row, otherwise the stored
// number plus one. Never hands out a number that another program drew too.
// A lock held by another user is waited out a few times, then shows the
// lock message ("Impossível gravar dados, Registro está bloqueado por outro
// usuário"); other failures are reported (read or update context as above).
// Either way the error is returned.
Result<std::string> DrawDocumentNumber(RunContext& ctx, std::string_view company,
                                       std::string_view code);

// Draws `count` numbers of the company's sequence `code` at once: the
// stored number plus one up to plus `count`, stored by one update made
// only while the number read is still the stored one, as that many draws
// one after another would store them. Shows nothing. An error, with
// nothing drawn, when the sequence has no row yet, holds no number, or
// another program drew meanwhile: the caller then draws one at a time.
// REQUIRES: inside a transaction that undoes the update when it goes on no
// further.
Result<std::vector<std::string>> DrawDocumentNumbers(Database& db, std::string_view company,
                                                     std::string_view code, size_t count,
                                                     std::string_view decimal_mark);

}  // namespace boleto
