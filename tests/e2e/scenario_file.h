// End-to-end scenarios: one file per scenario under tests/e2e/scenarios,
// named NAME.scenario. Each runs the built boleto-sr once against a fresh
// database and checks what it printed on standard error, its exit status,
// the files it left and the database state afterwards.
//
// A file is a list of directives, each a line starting with "@"; some take a
// block: the lines up to the next directive. Lines starting with "#" are
// comments (except the line after @argument). Trailing empty lines of a block
// are dropped. A line of @argument, @stderr or @check that must end in blanks
// is closed with "|", which is dropped ("MATR0001       |").
//
//   @description ONE LINE       what the scenario shows
//   @engines sqlite postgresql  where it runs (default: sqlite); each engine
//                               is a test of its own
//   @base schema | demo         the tables alone (default), or the tables with
//                               the rows of sql/demo.sql
//   @sql                        block: SQL run on top of the base, statements
//                               separated by ";"
//   @options WORD...            options before the argument text, split at
//                               blanks (--output {OUT}/boleto.pdf)
//   @argument                   the next line is the argument text, passed as
//                               one argument; without @argument none is passed
//   @exit N                     the expected exit status (default 0)
//   @stderr                     block: standard error exactly (an empty block:
//                               nothing at all)
//   @stderr-has                 block: each line must appear in standard error
//   @check SELECT ...           block: the rows the query must give, in order,
//                               columns joined by "|", SQL NULL as NULL
//   @file PATH                  PATH must exist and not be empty
//   @no-file PATH               PATH must not exist
//   @symlink LINK TARGET        before the run LINK is made a symbolic link
//                               holding TARGET (its folder made too);
//                               afterwards LINK must still be that link
//   @fifo PATH COPY             before the run PATH is made a FIFO whose
//                               reader copies what comes through into COPY;
//                               afterwards PATH must still be a FIFO
//
// Placeholders, replaced everywhere: {TAG} the engine's dialect tag padded to
// its 15 columns, {CONNECT} the connect string of the scenario's database
// padded to its 63 columns (so the later fields keep their columns),
// {CONNECT=TEXT} a connect string of the scenario's own, after the other
// placeholders, padded the same way,
// {OUT} a scratch folder of the scenario, {SOURCE} the source tree,
// {DEMO_PRINT} the demo print directory, {PROGRAM} "boleto-sr" and the
// version as error reports show it, {BYTE=HH} the one byte of hexadecimal
// value HH (a control character or a byte that is no UTF-8), last of all.
#pragma once

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace boleto::testing {

struct ScenarioCheck {
  std::string sql;
  std::vector<std::string> rows;
};

// A pair of paths: a link and its target, a FIFO and the copy of what
// went through it.
struct ScenarioPathPair {
  std::string path;
  std::string other;
};

struct Scenario {
  std::string name;  // the file name without ".scenario"
  std::string description;
  std::vector<std::string> engines = {"sqlite"};
  std::string base = "schema";
  std::string sql;
  std::vector<std::string> options;
  std::optional<std::string> argument;
  int exit_status = 0;
  std::optional<std::string> stderr_exact;
  std::vector<std::string> stderr_has;
  std::vector<ScenarioCheck> checks;
  std::vector<std::string> files;
  std::vector<std::string> no_files;
  std::vector<ScenarioPathPair> symlinks;
  std::vector<ScenarioPathPair> fifos;
};

// Splits at runs of blanks.
inline std::vector<std::string> ScenarioWords(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// A line with its closing "|" dropped.
inline std::string ScenarioLine(const std::string& line) {
  if (!line.empty() && line.back() == '|') return line.substr(0, line.size() - 1);
  return line;
}

// Reads a scenario file's text; an error text names the first bad line.
inline std::optional<Scenario> ParseScenario(const std::string& name, const std::string& text,
                                             std::string* error) {
  Scenario scenario;
  scenario.name = name;
  std::vector<std::string> lines;
  {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines.push_back(line);
    }
  }
  const auto fail = [&](size_t index, const std::string& why) -> std::optional<Scenario> {
    *error = name + ".scenario line " + std::to_string(index + 1) + ": " + why;
    return std::nullopt;
  };
  // The block that follows the directive at `index`: up to the next
  // directive, comments left out, trailing empty lines dropped.
  const auto block = [&](size_t& index) {
    std::vector<std::string> content;
    while (index + 1 < lines.size() && (lines[index + 1].empty() || lines[index + 1][0] != '@')) {
      ++index;
      if (!lines[index].empty() && lines[index][0] == '#') continue;
      content.push_back(lines[index]);
    }
    while (!content.empty() && content.back().empty()) content.pop_back();
    return content;
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    if (line.empty() || line[0] == '#') continue;
    if (line[0] != '@') return fail(i, "text outside a directive");
    const size_t blank = line.find(' ');
    const std::string directive = line.substr(0, blank);
    std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
    while (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
    while (!rest.empty() && rest.back() == ' ') rest.pop_back();
    if (directive == "@description") {
      scenario.description = rest;
    } else if (directive == "@engines") {
      scenario.engines = ScenarioWords(rest);
      for (const std::string& engine : scenario.engines) {
        if (engine != "sqlite" && engine != "postgresql")
          return fail(i, "unknown engine " + engine);
      }
    } else if (directive == "@base") {
      if (rest != "schema" && rest != "demo") return fail(i, "base is schema or demo");
      scenario.base = rest;
    } else if (directive == "@sql") {
      for (const std::string& l : block(i)) scenario.sql += l + "\n";
    } else if (directive == "@options") {
      scenario.options = ScenarioWords(rest);
    } else if (directive == "@argument") {
      if (i + 1 >= lines.size()) return fail(i, "@argument needs the next line");
      scenario.argument = ScenarioLine(lines[++i]);
    } else if (directive == "@exit") {
      if (rest.empty() || rest.find_first_not_of("0123456789") != std::string::npos) {
        return fail(i, "@exit needs a number");
      }
      scenario.exit_status = std::stoi(rest);
    } else if (directive == "@stderr") {
      std::string expected;
      for (const std::string& l : block(i)) expected += ScenarioLine(l) + "\n";
      scenario.stderr_exact = expected;
    } else if (directive == "@stderr-has") {
      for (const std::string& l : block(i)) scenario.stderr_has.push_back(ScenarioLine(l));
    } else if (directive == "@check") {
      if (rest.empty()) return fail(i, "@check needs a query");
      ScenarioCheck check{rest, {}};
      for (const std::string& l : block(i)) check.rows.push_back(ScenarioLine(l));
      scenario.checks.push_back(check);
    } else if (directive == "@file") {
      scenario.files.push_back(rest);
    } else if (directive == "@no-file") {
      scenario.no_files.push_back(rest);
    } else if (directive == "@symlink" || directive == "@fifo") {
      const std::vector<std::string> paths = ScenarioWords(rest);
      if (paths.size() != 2) return fail(i, directive + " needs two paths");
      (directive == "@fifo" ? scenario.fifos : scenario.symlinks).push_back({paths[0], paths[1]});
    } else {
      return fail(i, "unknown directive " + directive);
    }
  }
  return scenario;
}

}  // namespace boleto::testing
