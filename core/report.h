// A user error travels as a Report from the front end, the checker and program start
// to the driver, which prints it once. Type "Empty" means no error.
#pragma once

#include <cstdint>
#include <string>

namespace ruk {

struct Report {
    std::string name;           // what the error is about; empty when nothing
    int64_t position = -1;      // byte offset the error is about; -1 when none
    std::string type = "Empty"; // five letters: "Match", "Comma", "Built", "Alive", ...
    std::string text;           // the message body

    bool ok() const { return type == "Empty"; }
};

}  // namespace ruk
