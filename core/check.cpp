#include "core/check.h"

#include <fcntl.h>
#include <netdb.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstddef>
#include <ctime>
#include <map>
#include <unordered_set>

#include "core/analyse.h"
#include "core/defs.h"
#include "core/intern.h"
#include "core/passes.h"
#include "core/print.h"

namespace ruk {

// ---- layout text ------------------------------------------------------------------

LayoutItem layout_item(std::string type, long long size) {
    return LayoutItem{std::move(type), {LayoutPart{std::string(), size}}};
}

void insert_field(LayoutItem& item, long long size, long long offset, std::string name) {
    RUK_ASSERT(!name.empty() && size > 0 && offset >= 0);
    long long start = 0;
    for (size_t i = 0; i < item.parts.size(); ++i) {
        LayoutPart& part = item.parts[i];
        if (offset >= start + part.size) {
            start += part.size;
            continue;
        }
        // the part that covers the offset must be a gap holding the whole field
        RUK_ASSERT(part.name.empty() && offset + size <= start + part.size);
        long long before = offset - start;
        long long after = start + part.size - offset - size;
        std::vector<LayoutPart> carved;
        if (before > 0) carved.push_back({std::string(), before});
        carved.push_back({std::move(name), size});
        if (after > 0) carved.push_back({std::string(), after});
        item.parts.erase(item.parts.begin() + long(i));
        item.parts.insert(item.parts.begin() + long(i), carved.begin(), carved.end());
        return;
    }
    RUK_FATAL("layout field past the end of its record");
}

std::string item_text(const LayoutItem& item) {
    std::string out = "[" + item.type;
    for (const LayoutPart& part : item.parts) {
        if (part.name.empty())
            out += "[[" + std::to_string(part.size) + "]]";
        else
            out += "[" + part.name + "[[" + std::to_string(part.size) + "]]]";
    }
    out += "]";
    return out;
}

#define RUK_HOST_FIELD(item, record, field) \
    insert_field(item, sizeof(record::field), offsetof(record, field), #field)

std::string layout_text() {
    std::string out = "[";
    // DIR, dirent and fd_set are ruk's own records; the rest are the host's, whose
    // getaddrinfo fills the addrinfo records programs read.
    out += item_text(layout_item("DIR", 304));

    LayoutItem ai = layout_item("addrinfo", sizeof(addrinfo));
    RUK_HOST_FIELD(ai, addrinfo, ai_flags);
    RUK_HOST_FIELD(ai, addrinfo, ai_family);
    RUK_HOST_FIELD(ai, addrinfo, ai_socktype);
    RUK_HOST_FIELD(ai, addrinfo, ai_protocol);
    RUK_HOST_FIELD(ai, addrinfo, ai_addrlen);
    RUK_HOST_FIELD(ai, addrinfo, ai_addr);
    RUK_HOST_FIELD(ai, addrinfo, ai_canonname);
    RUK_HOST_FIELD(ai, addrinfo, ai_next);
    out += item_text(ai);

    LayoutItem de = layout_item("dirent", 296);
    insert_field(de, 4, 0, "d_ino");
    insert_field(de, 4, 4, "d_off");
    insert_field(de, 2, 8, "d_reclen");
    insert_field(de, 8, 16, "d_namlen");
    insert_field(de, 4, 24, "d_type");
    insert_field(de, 261, 28, "d_name");
    out += item_text(de);

    out += item_text(layout_item("fd_set", 520));
    out += item_text(layout_item("size_t", sizeof(size_t)));
    out += item_text(layout_item("socklen_t", sizeof(socklen_t)));
    out += item_text(layout_item("time_t", sizeof(time_t)));
    out += "]";
    return out;
}

#undef RUK_HOST_FIELD

// ---- trace log --------------------------------------------------------------------

namespace {
std::string& log_path() {
    static std::string path = "/tmp/redv.log";
    return path;
}
}  // namespace

void set_trace_log_path(std::string path) { log_path() = std::move(path); }

void append_trace_line(const std::string& line) {
    // Non-blocking, so a FIFO put in the log's place cannot hold the checker up; only a
    // regular file is written to.
    int fd;
    do {
        fd = ::open(log_path().c_str(),
                    O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        size_t done = 0;
        while (done < line.size()) {
            ssize_t n = ::write(fd, line.data() + done, line.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;  // a failed write leaves the rest of the line out
            done += size_t(n);
        }
    }
    ::close(fd);
}

// ---- the checker ------------------------------------------------------------------

namespace {

// Step 4: long names become the free letters; too many names in all is a "Place" error.
Report rename_definitions(const std::vector<DefinitionEntry*>& defs) {
    for (DefinitionEntry* entry : defs) {
        auto& [name, def] = *entry;
        BoundKeys keys = bound_keys(def.term.get());
        if (!keys.long_names.empty())
            append_trace_line("First " + name + ": " + print_term(def.term) + "\n");
        if (keys.long_names.size() + size_t(std::popcount(keys.letters)) > 26)
            return make_report(ReportType::Place, "Place error in function " + name + ".", name);
        if (!keys.long_names.empty())
            def.term = rename_long_names(def.term.get(), choose_letters(keys));
    }
    return Report{};
}

// Step 5: every name reachable from the roots must be defined; the rest is removed.
// Names are taken smallest first; a name's referrer is the last definition that
// mentioned it before it was taken. `order` keeps the entries left, in their order.
Report remove_unreachable(DefinitionTable& defs, std::vector<DefinitionEntry*>& order) {
    Definition* entry = find_definition("");
    RUK_ASSERT(entry != nullptr);  // the front end always makes the entry definition
    std::unordered_set<std::string, TextHash, std::equal_to<>> visited{""};
    std::map<std::string, std::string, std::less<>> work{{"\\", ""}, {"{", ""}, {"_", ""}};
    for (std::string& n : referenced_names(entry->term.get())) work[std::move(n)] = "";
    while (!work.empty()) {
        auto first = work.begin();
        std::string n = first->first;
        std::string referrer = std::move(first->second);
        work.erase(first);
        visited.insert(n);
        Definition* d = find_definition(n);
        if (!d) {
            std::string name = shown(n);
            std::string text = "Alive [" + name + "] referenced by [" +
                               (referrer.empty() ? std::string("TOP") : referrer) +
                               "] but not defined.";
            return make_report(ReportType::Alive, std::move(text), std::move(name));
        }
        for (std::string& m : referenced_names(d->term.get()))
            if (!visited.count(m)) work[std::move(m)] = n;
    }
    size_t kept = 0;
    for (DefinitionEntry* entry : order) {
        if (visited.count(entry->first))
            order[kept++] = entry;
        else
            defs.erase(entry->first);
    }
    order.resize(kept);
    return Report{};
}

}  // namespace

Report check_program() {
    DefinitionTable& defs = definitions();

    // 1. the layout text, replacing whatever the program called "_"
    defs["_"] = Definition(from_string(layout_text()));

    // Every step meets the names in byte order, so the report is about the same name
    // whatever order the table keeps.
    std::vector<DefinitionEntry*> order = in_name_order(defs);

    // 2, 3. quotes, then brace forms with a pair of keys
    for (DefinitionEntry* entry : order) entry->second.term = quote_pass(entry->second.term.get());
    for (DefinitionEntry* entry : order) entry->second.term = key_pair_pass(entry->second.term.get());

    // 4. renaming to single letters, with the place check
    if (Report r = rename_definitions(order); !r.ok()) return r;

    // 5. liveness
    if (Report r = remove_unreachable(defs, order); !r.ok()) return r;

    // 6. at most ten leading parameters
    for (DefinitionEntry* entry : order) {
        auto& [name, def] = *entry;
        if (leading_binders(def.term.get(), 11) > 10)
            return make_report(ReportType::Arity,
                               "Arity of function " + name + " may not exceed ten.", name);
    }

    // 7. one shared leaf per text
    clear_intern_table();
    for (DefinitionEntry* entry : order) entry->second.term = intern_pass(entry->second.term.get());

    // 8. binder keys
    for (DefinitionEntry* entry : order) {
        auto& [name, def] = *entry;
        if (Cell* bad = find_funky_binder(def.term.get())) {
            std::string text = "Funky key in expression " + print_term(bad);
            text += name.empty() ? "." : " in function " + name + ".";
            return make_report(ReportType::Funky, std::move(text));
        }
    }

    // 9. no free variables; the lowest free letter is reported
    for (DefinitionEntry* entry : order) {
        auto& [name, def] = *entry;
        uint32_t free = variable_set(def.term.get());
        if (free == 0) continue;
        std::string letter(1, char('a' + std::countr_zero(free)));
        if (name.empty())
            return make_report(ReportType::Local, "Local variable " + letter + " unbound.");
        return make_report(ReportType::Local,
                           "Local variable " + letter + " unbound in function [" + name + "].",
                           name);
    }
    return Report{};
}

}  // namespace ruk
