// The workbench: a second command beside ruk over the same interpreter. It runs a program
// from a file, standard input or the command line, with statistics, the origin of the
// first "Z" and a trace of builtin calls on request, and keeps an interactive session
// (driver/session.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/cell.h"
#include "core/report.h"

namespace ruk {

inline constexpr std::string_view kWorkbenchName = "rukw";
inline constexpr std::string_view kWorkbenchVersion = "1.0";
// The status of a command line the workbench does not understand.
inline constexpr int kWorkbenchUsageStatus = 2;

struct WorkbenchOptions {
    bool stats = false;
    bool why = false;
    uint64_t trace = 0;  // builtin calls to print
    bool watching() const { return stats || why || trace > 0; }
};

// The whole command: parses the command line and runs what it asks for; the process's
// exit status.
int workbench_main(int argc, char** argv);

// A piece of a program text the workbench assembled (the session joins the input line
// and the definitions kept so far): where it begins in the whole text and what to call it.
struct Piece {
    size_t begin;
    std::string label;  // "the input", "the definition of fact", or a file name
};

// Writes a report on standard error as ruk does (reset sequence, then coloured), then a
// line telling where it stands in `text`: a line and column in the piece holding its
// offset, or where the definition it names is defined.
void write_report(const Report& report, std::string_view text, const std::vector<Piece>& pieces);

// What the watch saw (statistics, the first "Z"), on standard error; `text` and `pieces`
// place the definitions.
struct RunMeasures {
    uint64_t steps = 0;
    uint64_t compiled_calls = 0;
    uint64_t cells_allocated = 0;
    uint64_t cells_live = 0;
    double compile_seconds = 0;
    double run_seconds = 0;
};
void write_watch(const WorkbenchOptions& options, const RunMeasures& measures, std::string_view text,
                 const std::vector<Piece>& pieces);

// Counters and clock before a run, then the measures since.
struct MeasureStart;
RunMeasures measures_since(const MeasureStart& start);
struct MeasureStart {
    uint64_t steps, entries, calls, allocated;
    double clock;
};
MeasureStart measure_start();
double seconds_now();

// A watched program may end the process itself (the builtin exit): until disarmed, what
// the watch saw is then written as the process ends.
void arm_exit_report(const WorkbenchOptions& options, const MeasureStart& start, double compiled,
                     std::string_view text, const std::vector<Piece>& pieces);
void disarm_exit_report();

// The session over standard input (driver/session.cpp); `preload` is a program whose
// definitions the session starts with (empty for none). Returns the exit status.
int run_session(const WorkbenchOptions& options, const std::string& preload, const std::string& preload_name,
                char* argv0);

}  // namespace ruk
