#include "driver/report.h"

#include <array>
#include <cstdint>

namespace ruk {

namespace {

enum class Shade : uint8_t { plain, green, red };

struct Shown {
    Shade shade;
    char ch;
};

// Controls and 255, indexed by byte + 1 (255 as -1). Newline never gets here, so its
// slot (",") is never shown.
constexpr std::string_view kControlShown = "]JABCDEFGHI,KLMNOPQRSTUVWXYZ(){}[";
// 127..160, indexed by byte - 127.
constexpr std::string_view kHighShown = "~!@#$%^&*<>-|+/=\\.`'\":;?0123456789";
static_assert(kControlShown.size() == 33 && kHighShown.size() == 34);

constexpr std::array<Shown, 256> make_shown() {
    std::array<Shown, 256> table{};
    for (int b = 0; b < 256; ++b) {
        if (b == '\n' || (b >= 32 && b <= 126)) {
            table[b] = {Shade::plain, static_cast<char>(b)};
        } else if (b < 32) {
            table[b] = {Shade::green, kControlShown[b + 1]};
        } else if (b == 255) {
            table[b] = {Shade::green, kControlShown[0]};
        } else if (b <= 160) {
            table[b] = {Shade::green, kHighShown[b - 127]};
        } else {
            table[b] = {Shade::red, static_cast<char>(b - 128)};
        }
    }
    return table;
}

constexpr std::array<Shown, 256> kShown = make_shown();
static_assert(kShown[0].ch == 'J' && kShown[255].ch == ']' && kShown[31].ch == '[');
static_assert(kShown[127].ch == '~' && kShown[150].ch == '?' && kShown[160].ch == '9');
static_assert(kShown[161].ch == '!' && kShown[254].ch == '~' && kShown[161].shade == Shade::red);

constexpr std::string_view sequence(Shade shade) {
    switch (shade) {
        case Shade::green: return "\033[32m";
        case Shade::red: return "\033[31m";
        case Shade::plain: break;
    }
    return "\033[m";
}

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

}  // namespace

std::string format_report(const Report& report) {
    std::string out;
    std::string_view type = type_name(report.type);
    out.reserve(32 + type.size() + report.name.size() + report.text.size());
    out += "Error.\n Type: ";
    out += type;
    out += '\n';
    if (!report.name.empty()) {
        out += " Name: ";
        out += report.name;
        out += '\n';
    }
    out += report.text;
    out += "\n\\/\n";
    return out;
}

std::string colour_for_terminal(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    Shade current = Shade::plain;
    for (char c : text) {
        const Shown& shown = kShown[static_cast<unsigned char>(c)];
        if (shown.shade != current) {
            out += sequence(shown.shade);
            current = shown.shade;
        }
        out += shown.ch;
    }
    if (current != Shade::plain) out += sequence(Shade::plain);
    return out;
}

std::string escape_name(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        auto b = static_cast<unsigned char>(c);
        if (b == '\\' || b < 32 || b >= 127) {
            out += "\\x";
            out += kHexDigits[b >> 4];
            out += kHexDigits[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

Report usage_report() { return make_report(ReportType::Usage, "Usage: ruk file arg0 arg1 arg2 ..."); }

Report start_report(std::string_view file_name) {
    std::string name = "\"";
    name += escape_name(file_name);
    name += '"';
    return make_report(ReportType::Start, "Could not read program file.", std::move(name));
}

}  // namespace ruk
