#include "driver/report.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

using namespace ruk;

namespace {

const std::string kGreen = "\033[32m", kRed = "\033[31m", kReset = "\033[m";

std::string byte(int b) { return std::string(1, static_cast<char>(b)); }

TEST(ReportFormat, LinesInOrderAndNameLineOnlyWhenNamed) {
    Report named = make_report(ReportType::Alive, "Name is dead.", "foo", 3);
    EXPECT_EQ(format_report(named), "Error.\n Type: Alive\n Name: foo\nName is dead.\n\\/\n");

    Report unnamed = make_report(ReportType::Arity, "Too many.");
    EXPECT_EQ(format_report(unnamed), "Error.\n Type: Arity\nToo many.\n\\/\n");

    // The text goes out as it is: several lines, raw bytes, an empty text.
    Report raw = make_report(ReportType::Match, std::string("a\nb\0c", 5), "n\x01", 0);
    const char want[] = "Error.\n Type: Match\n Name: n\x01\na\nb\0c\n\\/\n";
    EXPECT_EQ(format_report(raw), std::string(want, sizeof want - 1));
    Report empty_text = make_report(ReportType::Range, "");
    EXPECT_EQ(format_report(empty_text), "Error.\n Type: Range\n\n\\/\n");
}

TEST(ReportColour, PrintableAsciiAndNewlinesPassUnchanged) {
    std::string plain;
    for (int b = 32; b <= 126; ++b) plain += byte(b);
    plain += "\n\n";
    EXPECT_EQ(colour_for_terminal(plain), plain);
    EXPECT_EQ(colour_for_terminal(""), "");
    Report r = make_report(ReportType::Match, "Match[,,,,_]Left dangling parenthesis.", "x", 1);
    EXPECT_EQ(colour_for_terminal(format_report(r)), format_report(r));
}

// The shown character and class of every byte, written out from the rules for each range.
std::string expected_alone(int b) {
    if (b == '\n' || (b >= 32 && b <= 126)) return byte(b);
    auto green = [](char c) { return kGreen + c + kReset; };
    if (b == 0) return green('J');
    if (b >= 1 && b <= 26) return green(static_cast<char>('A' + b - 1));
    if (b >= 27 && b <= 31) return green("(){}["[b - 27]);
    if (b == 255) return green(']');
    if (b >= 127 && b <= 150) return green("~!@#$%^&*<>-|+/=\\.`'\":;?"[b - 127]);
    if (b >= 151 && b <= 160) return green(static_cast<char>('0' + b - 151));
    return kRed + static_cast<char>(b - 128) + kReset;  // 161..254 -> 33..126
}

TEST(ReportColour, EveryByteAloneHasItsShownFormAndClass) {
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(colour_for_terminal(byte(b)), expected_alone(b)) << "byte " << b;
}

TEST(ReportColour, ShownFormsAreDistinctWithinEachClass) {
    // A typo in a table would make two bytes look alike on the terminal.
    std::set<std::string> green, red;
    int greens = 0, reds = 0;
    for (int b = 0; b < 256; ++b) {
        std::string shown = colour_for_terminal(byte(b));
        if (shown.rfind(kGreen, 0) == 0) ++greens, green.insert(shown);
        if (shown.rfind(kRed, 0) == 0) ++reds, red.insert(shown);
    }
    EXPECT_EQ(greens, 31 + 34 + 1);
    EXPECT_EQ(reds, 94);
    EXPECT_EQ(green.size(), 66u);
    EXPECT_EQ(red.size(), 94u);
}

TEST(ReportColour, SequencesOnlyWhereTheClassChanges) {
    // Bell, then back to the default class before the next printable byte.
    EXPECT_EQ(colour_for_terminal("a\x07z"), "a" + kGreen + "G" + kReset + "z");
    // A run of one class takes one sequence; green to red switches directly.
    EXPECT_EQ(colour_for_terminal("\x01\x02\xA0\xC8\xC9"),
              kGreen + "AB9" + kRed + "HI" + kReset);
    EXPECT_EQ(colour_for_terminal("\xC8\x7F"), kRed + "H" + kGreen + "~" + kReset);
    // A newline is in the default class, so it closes a coloured run.
    EXPECT_EQ(colour_for_terminal("\t\nx"), kGreen + "I" + kReset + "\nx");
    // A text ending in a coloured byte gets the final reset; 200 is red "H".
    EXPECT_EQ(colour_for_terminal("end\xC8"), "end" + kRed + "H" + kReset);
    // 159 and 160 are green digits, 161 is a red "!".
    EXPECT_EQ(colour_for_terminal("\x9F\xA0\xA1"), kGreen + "89" + kRed + "!" + kReset);
    // NUL bytes inside the text are shown, not cut off.
    EXPECT_EQ(colour_for_terminal(std::string("a\0b", 3)), "a" + kGreen + "J" + kReset + "b");
}

TEST(ReportColour, FormattedReportWithRawBytesInNameAndText) {
    Report r = make_report(ReportType::Built, "x\xFFy", "\x1B");
    EXPECT_EQ(colour_for_terminal(format_report(r)),
              "Error.\n Type: Built\n Name: " + kGreen + "(" + kReset + "\nx" + kGreen + "]" +
                  kReset + "y\n\\/\n");
}

TEST(ReportEscape, EveryByteOfAName) {
    for (int b = 0; b < 256; ++b) {
        bool kept = b >= 32 && b <= 126 && b != '\\';
        std::string want = kept ? byte(b) : "\\x" + std::string(1, "0123456789ABCDEF"[b / 16]) +
                                                std::string(1, "0123456789ABCDEF"[b % 16]);
        EXPECT_EQ(escape_name(byte(b)), want) << "byte " << b;
    }
    EXPECT_EQ(escape_name("a\tb"), "a\\x09b");
    EXPECT_EQ(escape_name("a\\b"), "a\\x5Cb");
    EXPECT_EQ(escape_name("\x7F\x80\xAB\xFF"), "\\x7F\\x80\\xAB\\xFF");
    EXPECT_EQ(escape_name(std::string("\0\n", 2)), "\\x00\\x0A");
    EXPECT_EQ(escape_name("dir/prog.ruk"), "dir/prog.ruk");
    EXPECT_EQ(escape_name(""), "");
}

TEST(ReportDriverOwn, UsageAndStartReports) {
    EXPECT_EQ(format_report(usage_report()),
              "Error.\n Type: Usage\nUsage: ruk file arg0 arg1 arg2 ...\n\\/\n");
    EXPECT_EQ(format_report(start_report("a\\b")),
              "Error.\n Type: Start\n Name: \"a\\x5Cb\"\nCould not read program file.\n\\/\n");
    // A double quote in the name is kept: only the bytes above are escaped.
    EXPECT_EQ(format_report(start_report("q\"\n")),
              "Error.\n Type: Start\n Name: \"q\"\\x0A\"\nCould not read program file.\n\\/\n");
    // Even an empty file name gives a name line: the quotes are part of the name.
    EXPECT_EQ(format_report(start_report("")),
              "Error.\n Type: Start\n Name: \"\"\nCould not read program file.\n\\/\n");
}

TEST(ReportTypes, EachTypeHasItsOwnFiveLetterName) {
    std::set<std::string_view> names;
    for (size_t t = 0; t <= size_t(ReportType::Start); ++t) {
        std::string_view name = type_name(ReportType(t));
        EXPECT_EQ(name.size(), 5u) << name;
        EXPECT_TRUE(names.insert(name).second) << name;
    }
    EXPECT_EQ(type_name(ReportType::Empty), "Empty");
    EXPECT_EQ(type_name(ReportType::Funky), "Funky");
    EXPECT_EQ(type_name(ReportType::Start), "Start");
    // a fresh report is no error; a made one keeps what it was given
    EXPECT_TRUE(Report{}.ok());
    Report r = make_report(ReportType::Cycle, "text");
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.position, -1);
    EXPECT_EQ(r.name, "");
}

}  // namespace
