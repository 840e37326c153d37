// The process entry point: checks the command line, reads the program file whole,
// compiles it and turns the outcome into the exit status.
#include <sys/stat.h>

#include <csignal>
#include <new>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/assert.h"
#include "core/compile.h"
#include "core/defs.h"
#include "core/intern.h"
#include "core/leaves.h"
#include "core/machine.h"
#include "core/number.h"
#include "core/report.h"
#include "core/stack.h"
#include "core/start.h"
#include "driver/report.h"

namespace {

constexpr int kUsageStatus = 1;  // the argument count of a bare "ruk"
// Every "Error." report ends the process with this status.
constexpr int kReportStatus = ruk::kErrorStatus;
constexpr size_t kChunk = 4095;

void write_err(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), stderr); }

// Reads the file byte for byte (no newline translation; NULs and CRs stay). False when
// it cannot be opened or a read fails: a directory opens but does not read, and must not
// pass for an empty program.
[[nodiscard]] bool read_program(const char* path, std::string& text) {
    std::FILE* probe = std::fopen(path, "rb");
    if (probe == nullptr) return false;
    RUK_ASSERT(std::fclose(probe) == 0);

    std::FILE* file = std::fopen(path, "rb");
    if (file == nullptr) return false;
    struct stat info;
    if (fstat(fileno(file), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        text.reserve(static_cast<size_t>(info.st_size));
    char chunk[kChunk];
    size_t got;
    while ((got = std::fread(chunk, 1, kChunk, file)) > 0) text.append(chunk, got);
    bool failed = std::ferror(file) != 0;
    RUK_ASSERT(std::fclose(file) == 0);
    return !failed;
}

#ifdef RUK_COUNT_CELLS
// The test build's leak check. Every cell a run makes is held by the process-wide tables
// or by nothing: with the tables emptied at the end, the cells still live must be those
// live before the run began. The difference is written to the file named by
// RUK_CELLS_FILE, where the test runner reads it.
uint64_t g_cells_before = 0;

void count_cells_before() {
    (void)ruk::leaves();
    ruk::clear_intern_table();
    g_cells_before = ruk::cell_stats().live;
}

void count_cells_after() {
    ruk::definitions().clear();
    ruk::reset_machine();
    ruk::clear_intern_table();
    const char* path = std::getenv("RUK_CELLS_FILE");
    if (path == nullptr) return;
    std::FILE* out = std::fopen(path, "w");
    if (out == nullptr) return;
    std::fprintf(out, "%lld\n",
                 static_cast<long long>(ruk::cell_stats().live - g_cells_before));
    RUK_ASSERT(std::fclose(out) == 0);
}
#else
void count_cells_before() {}
void count_cells_after() {}
#endif

int run(char** argv) {
    // argv[1] is the program file; the program sees the whole vector.
    const char* path = argv[1];
    std::string text;
    if (!read_program(path, text)) {
        write_err(ruk::format_report(ruk::start_report(path)));
        return kReportStatus;
    }
    count_cells_before();
    ruk::initialise();
    ruk::Report report = ruk::compile(text);
    if (report.ok()) report = ruk::run_program(argv);
    int status = kReportStatus;
    if (report.ok()) {
        // The low 32 bits of the result; the host shows the low 8 of those.
        int64_t result = ruk::int64_from_integer(ruk::program_result().get());
        status = static_cast<int>(static_cast<uint32_t>(result));
    } else {
        write_err("\033[m");
        write_err(ruk::colour_for_terminal(ruk::format_report(report)));
    }
    count_cells_after();
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // A write to a closed pipe or socket must fail with EPIPE, not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    // Every allocation of the interpreter's own that fails ends in the one way.
    std::set_new_handler(ruk::out_of_memory);
    RUK_ASSERT(argc != 0);
    if (argc == 1) {
        write_err(ruk::format_report(ruk::usage_report()));
        std::exit(kUsageStatus);
    }
    int status = ruk::run_on_big_stack([argv] { return run(argv); });
    std::exit(status);
}
