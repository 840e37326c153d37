#include "driver/positions.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "core/parse.h"
#include "core/text.h"

using namespace ruk;

namespace {

std::string at(std::string_view text, size_t offset) { return describe(line_column(text, offset)); }

TEST(LineColumn, LinesEndAtNewlinesAndColumnsCountBytes) {
    std::string text = "ab\ncd\r\n\tx\n";
    EXPECT_EQ(at(text, 0), "line 1, column 1");
    EXPECT_EQ(at(text, 2), "line 1, column 3");  // the newline itself ends line 1
    EXPECT_EQ(at(text, 3), "line 2, column 1");
    EXPECT_EQ(at(text, 5), "line 2, column 3");  // a carriage return is a column
    EXPECT_EQ(at(text, 8), "line 3, column 2");  // so is a tab
    EXPECT_EQ(at(text, text.size()), "line 4, column 1");
    EXPECT_EQ(at(text, 1000), "line 4, column 1");  // past the end: just after it
    EXPECT_EQ(at("", 0), "line 1, column 1");
}

// Every normalised byte maps to the same byte of the raw text, in increasing order, and a
// byte that is no blank to the very byte it came from.
void expect_alignment(const std::string& raw) {
    std::string norm = normalise(raw);
    std::vector<size_t> queries;
    for (size_t i = norm.size(); i-- > 0;) queries.push_back(i);  // any order
    std::vector<size_t> got = raw_offsets(raw, norm, queries);
    size_t previous = 0;
    for (size_t q = queries.size(); q-- > 0;) {
        size_t i = queries[q], r = got[q];
        ASSERT_NE(r, kNoOffset) << "raw " << raw << " offset " << i;
        ASSERT_EQ(raw[r], norm[i]) << "raw " << raw << " offset " << i;
        if (i > 0) {
            ASSERT_GT(r, previous) << "raw " << raw << " offset " << i;
        }
        previous = r;
    }
}

TEST(RawOffsets, NormalisedBytesAreFoundWhereTheyCameFrom) {
    std::string raw = "a  +\n  b";
    ASSERT_EQ(normalise(raw), "a+b");
    EXPECT_EQ(raw_offsets(raw, "a+b", {2, 0, 1}), (std::vector<size_t>{7, 0, 3}));
    // the same offset twice, and one past the end
    EXPECT_EQ(raw_offsets(raw, "a+b", {1, 1, 3}), (std::vector<size_t>{3, 3, kNoOffset}));

    for (const char* text : {"  a\\ b  c ,\n\n  fa\\x\\ x + 1  ", "[ab \n cd]x", "a\\ ( x )  y",
                             "f\n\n\ng h\n", "{ x } y", "  \n  ", "a\\[[ x \n]]  ,b\\1"})
        expect_alignment(text);

    // Texts of the characters normalisation treats apart.
    std::mt19937 random(7);
    const std::string alphabet = "ab  \n\n[]()x{}+,\\\t\r";
    for (int n = 0; n < 2000; ++n) {
        std::string raw_text;
        size_t length = random() % 24;
        for (size_t i = 0; i < length; ++i) raw_text += alphabet[random() % alphabet.size()];
        expect_alignment(raw_text);
    }
}

TEST(RawOffsets, ATextThatIsNotTheRawTextWithBlanksLeftOutIsNotFound) {
    EXPECT_EQ(raw_offsets("a b", "ab", {0, 1}), (std::vector<size_t>{0, 2}));
    EXPECT_EQ(raw_offsets("a b", "ax", {0, 1}), (std::vector<size_t>{0, kNoOffset}));
    EXPECT_EQ(raw_offsets("axb", "ab", {1}), (std::vector<size_t>{kNoOffset}));  // only blanks drop
}

TEST(DefinitionOffsets, EachNameWhereItsWinningDefinitionBegins) {
    std::string raw =
        "a\\fa 1\n"             // the entry
        ",fa\\x\\x+1\n"         // line 2
        ",  [+]\\x\\y\\x\n"     // line 3, an operator, after blanks
        ",nu()\\5\n"            // line 4, the nullary form
        ",fa\\x\\x+2\n"         // line 5: fa again, which wins
        ",K\\x\\y\\y\n"         // a capital
        ",3\n";                 // no definition
    auto found = definition_offsets(raw);
    EXPECT_EQ(found.size(), 5u);
    EXPECT_EQ(at(raw, found.at("")), "line 1, column 1");
    EXPECT_EQ(at(raw, found.at("fa")), "line 5, column 2");
    EXPECT_EQ(at(raw, found.at("+")), "line 3, column 4");
    EXPECT_EQ(at(raw, found.at("nu")), "line 4, column 2");
    EXPECT_EQ(at(raw, found.at("K")), "line 6, column 2");

    EXPECT_TRUE(definition_offsets("a\\(,fa\\1").empty());  // the brackets do not balance
    EXPECT_EQ(definition_offsets("").size(), 1u);           // an empty program has its entry
}

TEST(ReportOffset, RawForTheBracketChecksNormalisedForTheGrammar) {
    std::string raw = "a\\\n\n   x  ,\n  fa\\ ~(,,)";
    Report parse;
    Source src;
    ASSERT_TRUE(check_brackets(raw).ok());
    ASSERT_TRUE(load_source(raw, src).ok());
    for (const Segment& s : split_commas(src)) (void)parse_expression(src, s, parse);
    ASSERT_EQ(parse.type, ReportType::Parse);
    EXPECT_EQ(at(raw, report_offset(parse, raw)), "line 4, column 9");  // the item ",,"

    std::string unmatched = "a\\1\n  + (2";
    Report match = check_brackets(unmatched);
    ASSERT_EQ(match.type, ReportType::Match);
    EXPECT_EQ(at(unmatched, report_offset(match, unmatched)), "line 2, column 5");

    EXPECT_EQ(report_offset(make_report(ReportType::Local, "x"), raw), kNoOffset);
    EXPECT_EQ(report_offset(make_report(ReportType::Match, "x", "", 99), "ab"), kNoOffset);
}

}  // namespace
