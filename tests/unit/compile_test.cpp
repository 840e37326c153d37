// Program assembly: the prelude, the builtins as definitions, the program's definitions.
#include "core/compile.h"

#include <gtest/gtest.h>

#include <string>

#include "core/defs.h"
#include "core/prelude.h"
#include "core/print.h"
#include "core/stack.h"
#include "lib/table.h"

using namespace ruk;

namespace {

std::string term_of(std::string_view name) {
    Definition* d = find_definition(name);
    return d ? print_term(d->term) : "<none>";
}

// Compiles on the big stack; returns the report.
Report compiled(const std::string& text) {
    Report r;
    run_on_big_stack([&] {
        initialise();
        r = compile(text);
        return 0;
    });
    return r;
}

TEST(Prelude, TextAndDefinitions) {
    EXPECT_EQ(kPrelude.size(), 551u);
    EXPECT_EQ(kPrelude[0], ',');
    run_on_big_stack([] {
        initialise();
        // 50 definitions, none of them a builtin's name.
        EXPECT_EQ(definitions().size(), 50u);
        for (char c = 'A'; c <= 'Z'; ++c)
            EXPECT_NE(find_definition(std::string(1, c)), nullptr) << c;
        for (const char* op : {"\\", "{", "&", "|", "!", "+", "-", "*", "/", "%", "^", "<", ">",
                               "=", "#", "$", "~", "@", ".", ";", "?", ":", "'", "\""})
            EXPECT_NE(find_definition(op), nullptr) << op;
        EXPECT_EQ(term_of("S"), "(\\a (\\b (\\c (a c (b c)))))");
        EXPECT_EQ(term_of("K"), "(\\a (\\b a))");
        EXPECT_EQ(term_of("+"), "plus");
        EXPECT_EQ(term_of("&"), "(\\q (\\r (q r H)))");
        EXPECT_EQ(term_of("@"), "T");
        return 0;
    });
}

TEST(Assembly, BuiltinsAreNestedBindersOverZ) {
    run_on_big_stack([] {
        initialise();
        EXPECT_TRUE(compile("0").ok());
        EXPECT_EQ(term_of("plus"), "(\\a (\\b Z))");
        EXPECT_EQ(term_of("errno"), "Z");
        EXPECT_EQ(term_of("getnameinfo"), "(\\a (\\b (\\c (\\d (\\e (\\f (\\g Z)))))))");
        EXPECT_EQ(definitions().size(), 50u + builtin_table().size() + 1);
        return 0;
    });
}

TEST(Assembly, EntryAndDefinitions) {
    run_on_big_stack([] {
        initialise();
        EXPECT_TRUE(compile("").ok());
        EXPECT_EQ(term_of(""), "}");

        initialise();
        EXPECT_TRUE(compile(",x\\a\\a").ok());
        EXPECT_EQ(term_of(""), "}");
        EXPECT_EQ(term_of("x"), "(\\a a)");

        // Later definitions win; an operator definition replaces the prelude's.
        initialise();
        EXPECT_TRUE(compile("0,ff\\1,ff\\2,[+]\\q\\r\\q").ok());
        EXPECT_EQ(term_of("ff"), "2");
        EXPECT_EQ(term_of("+"), "(\\q (\\r q))");

        // Names that cannot be defined and segments of other shapes are ignored.
        initialise();
        EXPECT_TRUE(compile("0,Ab\\a\\a,1+2,[ab]\\1,(f g)\\1").ok());
        EXPECT_EQ(find_definition("Ab"), nullptr);
        EXPECT_EQ(find_definition("ab"), nullptr);

        // Single bytes: capitals, control and high bytes.
        initialise();
        EXPECT_TRUE(compile("0,Q\\7,\x01\\8,\xE9\\9").ok());
        EXPECT_EQ(term_of("Q"), "7");
        EXPECT_EQ(term_of("\x01"), "8");
        EXPECT_EQ(term_of("\xE9"), "9");
        return 0;
    });
}

TEST(Assembly, NullaryFormIsComputedAfresh) {
    run_on_big_stack([] {
        initialise();
        EXPECT_TRUE(compile("0,kk()\\plus 1 2").ok());
        Definition* d = find_definition("kk");
        EXPECT_NE(d, nullptr);
        if (d) {
            EXPECT_EQ(d->progress, 1);
            EXPECT_EQ(print_term(d->term), "(I (plus 1 2))");
        }
        // A plain definition of the same name afterwards clears the flag.
        initialise();
        EXPECT_TRUE(compile("0,kk()\\1,kk\\2").ok());
        EXPECT_EQ(find_definition("kk")->progress, -1);
        EXPECT_EQ(term_of("kk"), "2");
        return 0;
    });
}

TEST(Assembly, ReportsReachTheCaller) {
    Report r = compiled("0,[\\]\\a\\a");
    EXPECT_EQ(r.type, ReportType::Built);
    EXPECT_EQ(r.position, 2);
    EXPECT_EQ(r.text, "Built in function [\\] cannot be re-defined.");
    EXPECT_TRUE(r.name.empty());

    // The position is in the normalised text: the blanks before it are gone.
    r = compiled("0 ,   [{]\\a\\a");
    EXPECT_EQ(r.type, ReportType::Built);
    EXPECT_EQ(r.position, 2);
    EXPECT_EQ(r.text, "Built in function [{] cannot be re-defined.");

    r = compiled(")");
    EXPECT_EQ(r.type, ReportType::Match);
    EXPECT_EQ(r.text, "Match[,,,,,]Left dangling parenthesis.");

    r = compiled("(a,b)");
    EXPECT_EQ(r.type, ReportType::Comma);

    r = compiled("0,ff\\~(,,)");
    EXPECT_EQ(r.type, ReportType::Parse);
    EXPECT_EQ(r.text.substr(0, 6), "Parse[");
}

}  // namespace
