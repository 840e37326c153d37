#include "driver/positions.h"

#include <algorithm>
#include <numeric>

#include "core/analyse.h"
#include "core/parse.h"
#include "core/text.h"

namespace ruk {

LineColumn line_column(std::string_view text, size_t offset) {
    if (offset > text.size()) offset = text.size();
    LineColumn at{1, 1};
    for (size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++at.line;
            at.column = 1;
        } else {
            ++at.column;
        }
    }
    return at;
}

std::string describe(LineColumn at) {
    return "line " + std::to_string(at.line) + ", column " + std::to_string(at.column);
}

std::vector<size_t> raw_offsets(std::string_view raw, std::string_view normalised,
                                 const std::vector<size_t>& queries) {
    std::vector<size_t> order(queries.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return queries[a] < queries[b]; });
    std::vector<size_t> out(queries.size(), kNoOffset);
    // Each normalised byte is the next raw byte equal to it past blanks only: a byte that
    // is no blank is then the very byte it came from, and a blank one of the run it came
    // from.
    size_t r = 0, n = 0;
    for (size_t q : order) {
        size_t want = queries[q];
        if (want >= normalised.size()) break;
        bool lost = false;
        for (; n <= want; ++n) {
            char c = normalised[n];
            while (r < raw.size() && raw[r] != c && is_blank(raw[r])) ++r;
            if (r == raw.size() || raw[r] != c) {
                lost = true;
                break;
            }
            if (n < want) ++r;
        }
        if (lost) break;
        out[q] = r;
        n = want;  // the byte just found may be asked for again
    }
    return out;
}

namespace {

// The name a definition term ((\ name) rest) is entered under, or false when the term is
// no definition: "name\..." and "name()\..." by the name, "[+]\..." by the operator.
bool definition_name(Cell* term, std::string& name) {
    if (!is_pair(term) || !is_pair(left_of(term)) || !is_leaf_text(left_of(left_of(term)), '\\'))
        return false;
    Cell* n = right_of(left_of(term));
    if (!is_leaf(n)) {  // name() is (name })
        if (!is_leaf_text(right_of(n), '}') || !is_leaf(left_of(n))) return false;
        n = left_of(n);
    }
    std::string_view text = leaf_text(n);
    name = is_operator_name(text) ? std::string(1, text[1]) : std::string(text);
    return true;
}

}  // namespace

std::unordered_map<std::string, size_t> definition_offsets(std::string_view raw) {
    std::unordered_map<std::string, size_t> found;
    if (!check_brackets(raw).ok()) return found;
    Source src;
    if (!load_source(raw, src).ok()) return found;
    std::vector<Segment> segments = split_commas(src);
    std::vector<std::string> names;
    std::vector<size_t> begins;
    names.emplace_back();
    begins.push_back(segments[0].begin);
    for (size_t i = 1; i < segments.size(); ++i) {
        Report error;
        CellRef term = parse_expression(src, segments[i], error);
        std::string name;
        if (!error.ok() || !term || !definition_name(term.get(), name)) continue;
        names.push_back(std::move(name));
        begins.push_back(segments[i].begin);
    }
    std::vector<size_t> raw_begins = raw_offsets(raw, src.text, begins);
    for (size_t i = 0; i < names.size(); ++i) {
        size_t at = raw_begins[i];
        if (at == kNoOffset) at = i == 0 ? 0 : kNoOffset;  // an empty program's entry
        if (at != kNoOffset) found[names[i]] = at;
    }
    return found;
}

size_t report_offset(const Report& report, std::string_view raw) {
    if (report.position < 0) return kNoOffset;
    size_t at = size_t(report.position);
    switch (report.type) {
        case ReportType::Match:
        case ReportType::Comma:
            return at <= raw.size() ? at : kNoOffset;
        case ReportType::Parse:
        case ReportType::Built: {
            Source src;
            if (!load_source(raw, src).ok()) return kNoOffset;
            return raw_offsets(raw, src.text, {at})[0];
        }
        default:
            return kNoOffset;
    }
}

}  // namespace ruk
