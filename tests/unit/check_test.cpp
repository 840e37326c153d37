#include "core/check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/defs.h"
#include "core/leaves.h"
#include "core/passes.h"
#include "core/print.h"
#include "core/stack.h"
#include "terms.h"

using namespace ruk;
using namespace ruk::terms;
using namespace std::string_literals;

namespace {

void def(const std::string& name, CellRef term) { definitions()[name] = Definition{std::move(term)}; }
CellRef& term_of(const std::string& name) {
    Definition* d = find_definition(name);
    EXPECT_NE(d, nullptr) << name;
    static CellRef none = L("none");
    return d ? d->term : none;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> letters(size_t n) {
    std::vector<std::string> out;
    for (size_t i = 0; i < n; ++i) out.push_back(std::string(1, char('a' + i)));
    return out;
}

class Checker : public ::testing::Test {
protected:
    std::string log;

    void SetUp() override {
        definitions().clear();
        log = ::testing::TempDir() + "ruk_check_test_" + std::to_string(getpid()) + ".log";
        ::unlink(log.c_str());
        set_trace_log_path(log);
        // A small prelude: the roots "\" and "{" keep the combinators alive.
        def("\\", lam({"a", "b", "c"}, T("(H I K V Z)")));
        def("{", lam({"a", "b", "c"}, L("Z")));
        def("H", lam({"a"}, L("I")));
        def("I", lam({"a"}, L("a")));
        def("K", lam({"a", "b"}, L("a")));
        def("V", lam({"a", "b", "c"}, T("(c a b)")));
        def("Z", lam({"a"}, L("Z")));
    }
    void TearDown() override { ::unlink(log.c_str()); }

    Report run() {
        Report r;
        run_on_big_stack([&] {
            r = check_program();
            return 0;
        });
        return r;
    }
    void expect_error(const Report& r, ReportType type, const std::string& name,
                      const std::string& text) {
        EXPECT_EQ(r.type, type) << type_name(r.type);
        EXPECT_EQ(r.name, name);
        EXPECT_EQ(r.text, text);
        EXPECT_EQ(r.position, -1);
    }
};

TEST_F(Checker, PreparesReachableDefinitionsAndRemovesTheRest) {
    def("", lam({"n"}, T("(K n (helper 1))")));
    def("helper", lam({"x"}, T("(I x)")));
    // unreachable, and broken in every way the later steps would notice
    def("orphan", lam({"x"}, T("(nowhere x r more)")));
    def("more", T("(missing q)"));
    def("many", lam(letters(11), L("Z")));
    def("funky", T("((\\ (1 2)) Z)"));
    Report r = run();
    EXPECT_TRUE(r.ok()) << type_name(r.type) << " " << r.text;
    std::vector<std::string> names;
    for (DefinitionEntry* e : in_name_order(definitions())) names.push_back(e->first);
    std::vector<std::string> want = {"", "H", "I", "K", "V", "Z", "\\", "_", "helper", "{"};
    EXPECT_EQ(names, want);
    // the same text is the same cell everywhere, the shared combinator leaf for K
    Cell* k_in_entry = left_of(left_of(right_of(term_of("").get())));
    EXPECT_EQ(leaf_text(k_in_entry), "K");
    EXPECT_EQ(k_in_entry, leaves().K.get());
    Cell* x_in_helper = right_of(left_of(term_of("helper").get()));
    EXPECT_EQ(x_in_helper, right_of(right_of(term_of("helper").get())));
    // no trace line: nothing has long names
    EXPECT_EQ(read_file(log), "");
}

TEST_F(Checker, LayoutTextUnderUnderscore) {
    def("", L("0"));
    definitions()["_"] = Definition{L("[mine]"), 1};  // the program's own "_" is replaced
    EXPECT_TRUE(run().ok());
    const char* want =
        "[[DIR[[304]]]"
        "[addrinfo[ai_flags[[4]]][ai_family[[4]]][ai_socktype[[4]]][ai_protocol[[4]]]"
        "[ai_addrlen[[4]]][[4]][ai_addr[[8]]][ai_canonname[[8]]][ai_next[[8]]]]"
        "[dirent[d_ino[[4]]][d_off[[4]]][d_reclen[[2]]][[6]][d_namlen[[8]]][d_type[[4]]]"
        "[d_name[[261]]][[7]]]"
        "[fd_set[[520]]][size_t[[8]]][socklen_t[[4]]][time_t[[8]]]]";
    EXPECT_EQ(layout_text(), want);
    Definition* d = find_definition("_");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->term.view(), want);
    EXPECT_EQ(d->term.view().size(), std::string_view(want).size());
    EXPECT_EQ(d->progress, -1);
}

TEST(Layout, FieldsLandInOffsetOrderBetweenGaps) {
    LayoutItem item = layout_item("rec", 40);
    EXPECT_EQ(item_text(item), "[rec[[40]]]");
    insert_field(item, 8, 24, "late");
    EXPECT_EQ(item_text(item), "[rec[[24]][late[[8]]][[8]]]");
    insert_field(item, 4, 4, "early");
    EXPECT_EQ(item_text(item), "[rec[[4]][early[[4]]][[16]][late[[8]]][[8]]]");
    // fields that fill a gap exactly leave no empty gap behind
    insert_field(item, 4, 0, "first");
    insert_field(item, 8, 32, "last");
    insert_field(item, 16, 8, "middle");
    EXPECT_EQ(item_text(item),
              "[rec[first[[4]]][early[[4]]][middle[[16]]][late[[8]]][last[[8]]]]");
}

TEST_F(Checker, RenamingOrderAndTraceLine) {
    std::ofstream(log) << "earlier\n";
    def("", T("(sum 1)"));
    CellRef sum = lam({"count", "a", "acc", "b"}, T("(count acc a b)"));
    std::string printed = print_term(sum);
    def("sum", sum);
    Report r = run();
    EXPECT_TRUE(r.ok()) << r.text;
    // acc takes c and count takes d: ascending names, letters skipping those in use
    EXPECT_EQ(S(term_of("sum")), "((\\ d) ((\\ a) ((\\ c) ((\\ b) (((d c) a) b)))))");
    // the line shows the term before the renaming, and is appended
    EXPECT_EQ(read_file(log), "earlier\nFirst sum: " + printed + "\n");
}

TEST_F(Checker, RenamingIgnoresScope) {
    // a global name that is also a parameter somewhere becomes that letter everywhere
    def("", T("(((\\ helper) helper) helper)"));
    def("helper", L("1"));
    Report r = run();
    EXPECT_EQ(r.type, ReportType::Local);
    EXPECT_EQ(r.text, "Local variable a unbound.");
    EXPECT_EQ(find_definition("helper"), nullptr);  // no longer referenced
}

TEST_F(Checker, PlaceCountsLongAndSingleLetterNames) {
    def("", lam({"a"}, T("(wide narrow a)")));
    // (binders below the top: ten leading parameters at most)
    def("narrow", apply(L("K"), lam(letters(26), L("Z"))));
    std::vector<std::string> keys = letters(24);
    keys.push_back("long");
    keys.push_back("longer");
    def("wide", apply(L("K"), lam(keys, L("Z"))));
    EXPECT_TRUE(run().ok());
    BoundKeys k = bound_keys(term_of("wide").get());
    EXPECT_TRUE(k.long_names.empty());
    EXPECT_EQ(k.letters, (1u << 26) - 1) << "long and longer became y and z";

    SetUp();
    def("", L("0"));
    keys = letters(25);
    keys.push_back("long");
    keys.push_back("longer");
    def("wide", apply(L("K"), lam(keys, L("Z"))));  // 27 names: reported though unreachable
    expect_error(run(), ReportType::Place, "wide", "Place error in function wide.");
    EXPECT_NE(read_file(log).find("First wide: "), std::string::npos);  // written first
}

TEST_F(Checker, AliveReportsTopReferrer) {
    def("", lam({"x"}, T("(missing x)")));
    expect_error(run(), ReportType::Alive, "missing",
                 "Alive [missing] referenced by [TOP] but not defined.");
}

TEST_F(Checker, AliveReportsTheSmallestMissingNameAndItsLastReferrer) {
    def("", T("(b1 c1 fine)"));
    def("b1", T("(mm fine)"));
    def("c1", T("(nn mm)"));
    def("fine", L("1"));
    // mm and nn are both missing; mm sorts first; c1 mentioned it after b1 did
    expect_error(run(), ReportType::Alive, "mm", "Alive [mm] referenced by [c1] but not defined.");
}

TEST_F(Checker, AliveForPlaceholderListLeafAndShownNames) {
    def("", L("}"));  // an empty program
    expect_error(run(), ReportType::Alive, "}", "Alive [}] referenced by [TOP] but not defined.");

    SetUp();
    def("", T("(gg 1)"));
    def("gg", lam({"x"}, T("(, x)")));
    expect_error(run(), ReportType::Alive, ",", "Alive [,] referenced by [gg] but not defined.");

    SetUp();
    def("", T("(\n 1)"));
    expect_error(run(), ReportType::Alive, "\0"s, "Alive [\0] referenced by [TOP] but not defined."s);
}

TEST_F(Checker, AliveComesBeforeLocal) {
    def("", lam({"x"}, T("(missing y)")));
    EXPECT_EQ(run().type, ReportType::Alive);
}

TEST_F(Checker, AritySpansTenParametersAtMost) {
    def("", T("(ten eleven)"));
    def("ten", lam(letters(10), L("Z")));
    def("eleven", lam(letters(5), brace(L("f"), L("1"), lam({"g", "h", "i", "j", "k", "l"}, L("Z")))));
    EXPECT_TRUE(run().ok()) << "a brace form ends the count";

    SetUp();
    def("", T("(ten eleven)"));
    def("ten", lam(letters(10), L("Z")));
    def("eleven", lam(letters(11), L("Z")));
    expect_error(run(), ReportType::Arity, "eleven", "Arity of function eleven may not exceed ten.");
}

TEST_F(Checker, FunkyKeys) {
    CellRef bad = lam({"x"}, T("((\\ (1 2)) x)"));
    def("", bad);
    std::string printed = print_term(right_of(bad.get()));
    expect_error(run(), ReportType::Funky, "", "Funky key in expression " + printed + ".");

    SetUp();
    def("", T("(gg 1)"));
    CellRef form = brace(T("(p 1)"), L("2"), L("3"));  // a pair key that was not split
    printed = print_term(form);
    def("gg", lam({"x"}, form));
    expect_error(run(), ReportType::Funky, "", "Funky key in expression " + printed + " in function gg.");
}

TEST_F(Checker, LocalReportsTheLowestFreeLetter) {
    def("", lam({"a"}, T("(q a b)")));
    expect_error(run(), ReportType::Local, "", "Local variable b unbound.");

    SetUp();
    def("", T("(gg 1)"));
    def("gg", lam({"x"}, T("(x q)")));
    expect_error(run(), ReportType::Local, "gg", "Local variable q unbound in function [gg].");
}

TEST_F(Checker, QuotesAndKeyPairsArePrepared) {
    def("split", lam({"n"}, brace(T("(first second)"), L("n"), L("second"))));
    def("use", T("(split (V 1 2))"));
    def("", T("(use (` (K 1)))"));
    Report r = run();
    EXPECT_TRUE(r.ok()) << r.text;
    EXPECT_EQ(S(term_of("")), "(use ((V [K1]) (K 1)))");
    // {second = n; {first = second K; {second = second H; second}}}, then renamed
    EXPECT_EQ(S(term_of("split")),
              "((\\ n) ((({ b) n) ((({ a) (b K)) ((({ b) (b H)) b))))");
}

TEST_F(Checker, TraceLogFailuresAreIgnored) {
    def("", T("(ff 1)"));
    def("ff", lam({"long"}, L("long")));
    set_trace_log_path("/nonexistent-dir/redv.log");
    EXPECT_TRUE(run().ok());

    // a FIFO in the log's place neither blocks nor gets written
    std::string fifo = ::testing::TempDir() + "ruk_check_fifo_" + std::to_string(getpid());
    ::unlink(fifo.c_str());
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    SetUp();
    def("", T("(ff 1)"));
    def("ff", lam({"long"}, L("long")));
    set_trace_log_path(fifo);
    EXPECT_TRUE(run().ok());
    ::unlink(fifo.c_str());

    // a symbolic link is not followed
    std::string target = log + ".target";
    std::string link = log + ".link";
    ::unlink(target.c_str());
    ::unlink(link.c_str());
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    set_trace_log_path(link);
    append_trace_line("First ff: x\n");
    struct stat st;
    EXPECT_NE(::lstat(target.c_str(), &st), 0);
    ::unlink(link.c_str());
}

TEST_F(Checker, DeepDefinitions) {
    // a long spine under a long chain of binders, quoted: every step is linear in depth
    const size_t n = 50000;
    CellRef body = L("count");
    for (size_t i = 0; i < n; ++i) body = apply(std::move(body), L("x"));
    for (size_t i = 0; i < n; ++i) body = brace(L(i % 2 ? "count" : "x"), L("1"), std::move(body));
    def("", lam({"a"}, apply(L("`"), std::move(body))));
    Report r = run();
    EXPECT_TRUE(r.ok()) << r.text;
    EXPECT_EQ(read_file(log).rfind("First : (\\a (V [", 0), 0u);
}

}  // namespace
