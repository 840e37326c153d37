// docs/builtins.md against the builtin table: the page documents every builtin once, with
// the table's arity, and nothing else; its operator table names the builtins the prelude
// binds to the operator characters.
//
// A documented builtin is a row of a table whose header starts "| Builtin | Arity |": the
// first cell is the name in backquotes, the second the arity in digits.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/builtin.h"
#include "core/prelude.h"

namespace {

struct DocRow {
    std::string name;
    int arity = -1;
    int line = 0;
};

struct ParsedDoc {
    std::vector<DocRow> builtins;                  // rows of the builtin tables
    std::map<std::string, std::string> operators;  // operator character -> builtin name
    std::vector<std::string> malformed;            // rows that are neither, with their line
};

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The cells of a table row "| a | b | c |", trimmed; empty when the line is no row.
std::vector<std::string> cells(std::string_view line) {
    std::vector<std::string> out;
    if (line.size() < 2 || line.front() != '|' || line.back() != '|') return out;
    line = line.substr(1, line.size() - 2);
    std::string cell;
    auto flush = [&] {
        size_t b = cell.find_first_not_of(' ');
        size_t e = cell.find_last_not_of(' ');
        out.push_back(b == std::string::npos ? std::string() : cell.substr(b, e - b + 1));
        cell.clear();
    };
    bool in_code = false;  // a "|" inside backquotes is part of the cell
    for (char c : line) {
        if (c == '`') in_code = !in_code;
        if (c == '|' && !in_code) {
            flush();
            continue;
        }
        cell += c;
    }
    flush();
    return out;
}

// "`name`" -> "name"; empty when the cell is not one code span.
std::string code_span(const std::string& cell) {
    if (cell.size() < 3 || cell.front() != '`' || cell.back() != '`') return {};
    std::string inner = cell.substr(1, cell.size() - 2);
    return inner.find('`') == std::string::npos ? inner : std::string();
}

bool all_digits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// none: between tables; other: a table of neither kind, skipped to its end.
enum class TableKind { none, builtins, operators, other };

ParsedDoc parse_doc(const std::string& text) {
    ParsedDoc doc;
    std::istringstream in(text);
    TableKind table = TableKind::none;
    size_t columns = 0;
    int line_no = 0;
    for (std::string line; std::getline(in, line);) {
        ++line_no;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> row = cells(line);
        if (row.empty()) {
            table = TableKind::none;
            continue;
        }
        if (table == TableKind::none) {  // a header
            if (row.size() >= 2 && row[0] == "Builtin" && row[1] == "Arity")
                table = TableKind::builtins;
            else if (row.size() == 2 && row[0] == "Operator" && row[1] == "Builtin")
                table = TableKind::operators;
            else
                table = TableKind::other;
            columns = row.size();
            continue;
        }
        if (table == TableKind::other) continue;
        if (line.rfind("|---", 0) == 0 || line.rfind("| ---", 0) == 0) continue;
        std::string where = "docs/builtins.md:" + std::to_string(line_no) + ": " + line;
        if (row.size() != columns) {
            doc.malformed.push_back(where + " (" + std::to_string(row.size()) + " cells, the header has " +
                                    std::to_string(columns) + ")");
            continue;
        }
        if (table == TableKind::builtins) {
            std::string name = code_span(row[0]);
            bool filled = true;
            for (const std::string& c : row) filled = filled && !c.empty();
            if (name.empty() || !all_digits(row[1]) || !filled) {
                doc.malformed.push_back(where + " (want `name` | arity digits | and every cell filled)");
                continue;
            }
            doc.builtins.push_back({name, std::stoi(row[1]), line_no});
        } else {
            std::string op = code_span(row[0]), name = code_span(row[1]);
            if (op.size() != 1 || name.empty()) {
                doc.malformed.push_back(where + " (want `operator character` | `builtin`)");
                continue;
            }
            doc.operators[op] = name;
        }
    }
    return doc;
}

std::string join(const std::vector<std::string>& v) {
    std::string out;
    for (const std::string& s : v) out += (out.empty() ? "" : ", ") + s;
    return out;
}

// The prelude's bindings of operator characters to builtins: ",[+]\plus" and the like.
std::map<std::string, std::string> prelude_operator_builtins() {
    std::map<std::string, std::string> out;
    const ruk::BuiltinTable& table = ruk::builtin_table();
    std::string_view p = ruk::kPrelude;
    for (size_t at = p.find(",["); at != std::string_view::npos; at = p.find(",[", at + 1)) {
        if (at + 5 > p.size() || p[at + 3] != ']' || p[at + 4] != '\\') continue;
        size_t end = p.find(',', at + 5);
        std::string body(p.substr(at + 5, end == std::string_view::npos ? p.npos : end - at - 5));
        if (table.count(body)) out[std::string(1, p[at + 2])] = body;
    }
    return out;
}

const ParsedDoc& the_doc() {
    static const ParsedDoc doc = parse_doc(read_file(RUK_SOURCE_DIR "/docs/builtins.md"));
    return doc;
}

TEST(BuiltinsDoc, EveryRowReadsAsABuiltinOrAnOperator) {
    const ParsedDoc& doc = the_doc();
    EXPECT_TRUE(doc.malformed.empty()) << "rows that cannot be read:\n  " << join(doc.malformed);
}

TEST(BuiltinsDoc, DocumentsExactlyTheTablesBuiltinsWithTheirArities) {
    const ParsedDoc& doc = the_doc();
    const ruk::BuiltinTable& table = ruk::builtin_table();
    ASSERT_FALSE(table.empty());

    std::map<std::string, DocRow> documented;
    std::vector<std::string> twice, extra, wrong_arity, missing;
    for (const DocRow& r : doc.builtins) {
        if (!documented.emplace(r.name, r).second)
            twice.push_back(r.name + " (lines " + std::to_string(documented[r.name].line) + " and " +
                            std::to_string(r.line) + ")");
        auto it = table.find(r.name);
        if (it == table.end())
            extra.push_back(r.name + " (line " + std::to_string(r.line) + ")");
        else if (it->second.arity != r.arity)
            wrong_arity.push_back(r.name + " (line " + std::to_string(r.line) + ": documented " +
                                  std::to_string(r.arity) + ", the table says " +
                                  std::to_string(it->second.arity) + ")");
    }
    for (const auto& [name, entry] : table)
        if (!documented.count(name))
            missing.push_back(name + " (arity " + std::to_string(entry.arity) + ")");

    EXPECT_TRUE(missing.empty()) << "builtins missing from docs/builtins.md: " << join(missing);
    EXPECT_TRUE(extra.empty()) << "documented but not builtins: " << join(extra);
    EXPECT_TRUE(wrong_arity.empty()) << "documented with the wrong arity: " << join(wrong_arity);
    EXPECT_TRUE(twice.empty()) << "documented more than once: " << join(twice);
    EXPECT_EQ(documented.size(), table.size());
}

TEST(BuiltinsDoc, OperatorTableMatchesThePrelude) {
    std::map<std::string, std::string> bound = prelude_operator_builtins();
    ASSERT_FALSE(bound.empty()) << "no operator bound to a builtin found in the prelude";
    const ParsedDoc& doc = the_doc();
    std::vector<std::string> wrong;
    for (const auto& [op, name] : bound) {
        auto it = doc.operators.find(op);
        if (it == doc.operators.end())
            wrong.push_back(op + " is not listed (it is " + name + ")");
        else if (it->second != name)
            wrong.push_back(op + " is listed as " + it->second + ", the prelude binds " + name);
    }
    for (const auto& [op, name] : doc.operators)
        if (!bound.count(op)) wrong.push_back(op + " is listed as " + name + " but binds no builtin");
    EXPECT_TRUE(wrong.empty()) << "the operator table of docs/builtins.md: " << join(wrong);
}

// The reader itself: rows of other tables are not builtins, a table ends at its first
// non-row line, and a row that does not read is reported rather than skipped.
TEST(BuiltinsDoc, ReaderTakesOnlyBuiltinTableRows) {
    ParsedDoc doc = parse_doc(
        "| Word | What |\n|---|---|\n| `abs` | 1 |\n\n"
        "| Builtin | Arity | Result |\n|---|---|---|\n| `abs` | 1 | int |\n| `a|b` | 2 | x |\n"
        "| `exit` | one | int |\n| `free` | 1 | |\n| `puts` | 1 |\ntext\n| `labs` | 1 | int |\n\n"
        "| Operator | Builtin |\n|---|---|\n| `+` | `plus` |\n| `<=` | `less` |\n");
    ASSERT_EQ(doc.builtins.size(), 2u);
    EXPECT_EQ(doc.builtins[0].name, "abs");
    EXPECT_EQ(doc.builtins[0].arity, 1);
    EXPECT_EQ(doc.builtins[1].name, "a|b");
    EXPECT_EQ(doc.builtins[1].arity, 2);
    // `exit` (arity not digits), `free` (empty cell), `puts` (too few cells), `<=`
    EXPECT_EQ(doc.malformed.size(), 4u) << join(doc.malformed);
    EXPECT_EQ(doc.operators, (std::map<std::string, std::string>{{"+", "plus"}}));
}

}  // namespace
