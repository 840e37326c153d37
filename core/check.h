// The checker: runs once between program assembly and the run. It stores the layout text
// under "_", prepares every definition with the passes of core/passes.h, removes the
// definitions the program cannot reach, and stops at the first of its five checks that
// fails ("Place", "Alive", "Arity", "Funky", "Local").
#pragma once

#include <string>
#include <vector>

#include "core/report.h"

namespace ruk {

// Runs the nine steps over definitions() in order; no error (ok()) on success, when the
// table holds only reachable definitions in their prepared form.
[[nodiscard]] Report check_program();

// The layout of the C records programs read through memory builtins, as stored under "_":
// "[" + one item per type + "]", an item "[" + type + parts + "]", a part either a gap
// "[[" + bytes + "]]" or a field "[" + name + "[[" + bytes + "]]" + "]".
struct LayoutPart {
    std::string name;  // empty for a gap
    long long size;
};
struct LayoutItem {
    std::string type;
    std::vector<LayoutPart> parts;
};
// A record of `size` bytes: one gap over all of it.
[[nodiscard]] LayoutItem layout_item(std::string type, long long size);
// Carves a field out of the gap that covers its offset. Gaps that come out empty are
// dropped, so the parts are the fields in offset order with only real gaps between them.
void insert_field(LayoutItem& item, long long size, long long offset, std::string name);
[[nodiscard]] std::string item_text(const LayoutItem& item);
// The whole text stored under "_".
[[nodiscard]] std::string layout_text();

// The file each definition with long names appends a trace line to ("/tmp/redv.log").
// Tests point it elsewhere.
void set_trace_log_path(std::string path);
// Appends one line; a log that cannot be opened or written is skipped silently.
void append_trace_line(const std::string& line);

}  // namespace ruk
