// Time and the calendar, against the C library itself.
#include "lib/clock.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "builtin_calls.h"

using namespace ruk;
using namespace ruk::calls;

namespace {

const tm* tm_of(const CellRef& r) { return reinterpret_cast<const tm*>(ptr_of(r)); }

bool same_fields(const tm& a, const tm& b) {
    return a.tm_sec == b.tm_sec && a.tm_min == b.tm_min && a.tm_hour == b.tm_hour &&
           a.tm_mday == b.tm_mday && a.tm_mon == b.tm_mon && a.tm_year == b.tm_year &&
           a.tm_wday == b.tm_wday && a.tm_yday == b.tm_yday && a.tm_isdst == b.tm_isdst;
}

class Clock : public testing::Test {
   protected:
    void SetUp() override {
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);  // a zone with summer time
        ::tzset();
    }
};

TEST_F(Clock, TimeIsNowAndIsStoredWhenAsked) {
    time_t before = std::time(nullptr);
    time_t stored = 0;
    int64_t t = int_of(call("time", {addr(&stored)}));
    time_t after = std::time(nullptr);
    EXPECT_GE(t, before);
    EXPECT_LE(t, after);
    EXPECT_EQ(stored, t);
    int64_t u = int_of(call("time", {num(0)}));
    EXPECT_GE(u, t);
    EXPECT_TRUE(is_z(call("time", {make_blob("12345678")})));
}

TEST_F(Clock, BrokenDownTimesAreTheCLibrarys) {
    for (time_t t : {time_t(0), time_t(1700000000), time_t(-86400 * 365), time_t(951782400),
                     time_t(1711846800), time_t(4102444800LL)}) {
        tm want_utc = *std::gmtime(&t);
        const tm* got = tm_of(call("gmtime", {addr(&t)}));
        ASSERT_NE(got, nullptr);
        EXPECT_TRUE(same_fields(*got, want_utc)) << t;

        tm want_local = *std::localtime(&t);
        got = tm_of(call("localtime", {addr(&t)}));
        ASSERT_NE(got, nullptr);
        EXPECT_TRUE(same_fields(*got, want_local)) << t;

        std::string want_text = std::ctime(&t);
        EXPECT_EQ(std::string(ptr_of(call("ctime", {addr(&t)}))), want_text) << t;
        EXPECT_EQ(std::string(ptr_of(call("asctime", {addr(&want_utc)}))), std::asctime(&want_utc));

        tm copy = want_local;
        EXPECT_EQ(int_of(call("mktime", {addr(&copy)})), t);
    }
    time_t epoch = 0;
    EXPECT_STREQ(ptr_of(call("asctime", {addr(std::gmtime(&epoch))})),
                 "Thu Jan  1 00:00:00 1970\n");
}

TEST_F(Clock, TimesBeyondTheCalendarGiveNullAndErrno) {
    time_t huge = INT64_MAX;
    program_errno = 0;
    EXPECT_EQ(int_of(call("gmtime", {addr(&huge)})), 0);
    EXPECT_EQ(program_errno_now(), EOVERFLOW);
    EXPECT_EQ(int_of(call("localtime", {addr(&huge)})), 0);
    EXPECT_EQ(int_of(call("ctime", {addr(&huge)})), 0);
    tm far = {};
    far.tm_year = INT_MAX;
    far.tm_mon = 11;
    far.tm_mday = 31;
    tm want = far;
    EXPECT_EQ(int_of(call("mktime", {addr(&far)})), std::mktime(&want));  // whatever C says
    EXPECT_TRUE(same_fields(far, want));
}

TEST_F(Clock, MktimeNormalisesTheRecord) {
    tm t = {};
    t.tm_year = 124;  // 2024
    t.tm_mon = 1;
    t.tm_mday = 30;  // February 30th is March 1st
    t.tm_hour = 12;
    t.tm_isdst = -1;
    tm want = t;
    int64_t got = int_of(call("mktime", {addr(&t)}));
    EXPECT_EQ(got, std::mktime(&want));
    EXPECT_EQ(t.tm_mon, 2);
    EXPECT_EQ(t.tm_mday, 1);
    EXPECT_EQ(t.tm_wday, 5);  // a Friday
    EXPECT_TRUE(same_fields(t, want));
}

TEST_F(Clock, StrftimeWritesTheBufferAndCountsTheBytes) {
    time_t when = 1700000000;
    tm utc = *std::gmtime(&when);
    char buffer[64];
    EXPECT_EQ(int_of(call("strftime",
                          {addr(buffer), num(64), make_blob("%Y-%m-%d %H:%M:%S"), addr(&utc)})),
              19);
    EXPECT_STREQ(buffer, "2023-11-14 22:13:20");
    EXPECT_EQ(int_of(call("strftime", {addr(buffer), num(64), from_text("[%a]"), addr(&utc)})), 5);
    EXPECT_STREQ(buffer, "[Tue]");  // the brackets are text too
    // too small: 0, as in C
    EXPECT_EQ(int_of(call("strftime", {addr(buffer), num(4), make_blob("%Y-%m"), addr(&utc)})), 0);
    EXPECT_TRUE(is_z(call("strftime", {num(0), num(64), make_blob("%Y"), addr(&utc)})));
    EXPECT_TRUE(is_z(call("strftime", {addr(buffer), num(64), num(0), addr(&utc)})));
    EXPECT_TRUE(is_z(call("strftime", {addr(buffer), num(64), make_blob("%Y"), num(0)})));
}

TEST_F(Clock, DifftimeIsAFloatOfTwoTimeValues) {
    EXPECT_EQ(double_of(call("difftime", {num(1700000060), num(1700000000)})), 60.0);
    EXPECT_EQ(double_of(call("difftime", {num(0), num(5)})), -5.0);
    EXPECT_EQ(double_of(call("difftime", {num(INT64_MAX), num(INT64_MIN)})),
              std::difftime(INT64_MAX, INT64_MIN));
    EXPECT_TRUE(is_z(call("difftime", {flt(1), num(0)})));
    EXPECT_TRUE(is_z(call("difftime", {num(1), make_blob("0")})));
}

TEST_F(Clock, AddressArgumentsMustBeIntegersOtherThanZero) {
    for (const char* name : {"asctime", "ctime", "gmtime", "localtime", "mktime"}) {
        EXPECT_TRUE(is_z(call(name, {num(0)}))) << name;
        EXPECT_TRUE(is_z(call(name, {make_blob("12345678")}))) << name;
        EXPECT_TRUE(is_z(call(name, {flt(0)}))) << name;
    }
}

}  // namespace
