// A user error travels as a Report from the front end, the checker and program start
// to the driver, which prints it once. Type Empty means no error.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace ruk {

// What went wrong, by the phase that finds it: the bracket and comma checks (Match,
// Comma), the grammar (Parse), program assembly (Built), the checker (Place, Alive,
// Arity, Funky, Local), program start (Cycle, Range), and the driver itself (Usage,
// Start).
enum class ReportType : uint8_t {
    Empty,
    Match,
    Comma,
    Parse,
    Built,
    Place,
    Alive,
    Arity,
    Funky,
    Local,
    Cycle,
    Range,
    Usage,
    Start,
};

// The five-letter word each type is printed as, in the order of the enumeration.
inline constexpr std::array<std::string_view, 14> kReportTypeNames = {
    "Empty", "Match", "Comma", "Parse", "Built", "Place", "Alive",
    "Arity", "Funky", "Local", "Cycle", "Range", "Usage", "Start",
};
static_assert(kReportTypeNames.size() == size_t(ReportType::Start) + 1);

constexpr std::string_view type_name(ReportType type) { return kReportTypeNames[size_t(type)]; }

struct Report {
    std::string name;                    // what the error is about; empty when nothing
    int64_t position = -1;               // byte offset the error is about; -1 when none
    ReportType type = ReportType::Empty;
    std::string text;                    // the message body

    bool ok() const { return type == ReportType::Empty; }
};

// Every report is made here.
[[nodiscard]] inline Report make_report(ReportType type, std::string text, std::string name = {},
                                        int64_t position = -1) {
    return Report{std::move(name), position, type, std::move(text)};
}

}  // namespace ruk
