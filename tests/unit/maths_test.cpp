// Mathematics on floats and the string-to-float conversions, against the C library itself.
#include "lib/maths.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "builtin_calls.h"

using namespace ruk;
using namespace ruk::calls;

namespace {

const double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Arguments that reach every branch: zeros of both signs, the domain edges, large and
// tiny magnitudes, infinities and NaN.
const std::vector<double> kSamples = {0.0,    -0.0, 0.5,    -0.5, 1.0,   -1.0,   1.5,
                                      2.5,    -2.5, 3.0,    10.0, -7.25, 1e-310, 1e300,
                                      -1e300, 710,  -750.0, kInf, -kInf, kNaN,   M_PI / 2};

struct Unary {
    const char* name;
    double (*c)(double);
};
const Unary kUnary[] = {
    {"acos", ::acos},   {"asin", ::asin}, {"atan", ::atan}, {"ceil", ::ceil}, {"cos", ::cos},
    {"cosh", ::cosh},   {"erf", ::erf},   {"erfc", ::erfc}, {"exp", ::exp},   {"fabs", ::fabs},
    {"floor", ::floor}, {"log", ::log},   {"sin", ::sin},   {"sinh", ::sinh}, {"sqrt", ::sqrt},
    {"tan", ::tan},     {"tanh", ::tanh},
};

struct Binary {
    const char* name;
    double (*c)(double, double);
};
const Binary kBinary[] = {
    {"fmod", ::fmod}, {"hypot", ::hypot}, {"nextafter", ::nextafter}, {"pow", ::pow}};

TEST(Maths, OneFloatFunctionsGiveTheCResultAndErrno) {
    for (const Unary& f : kUnary)
        for (double x : kSamples) {
            program_errno = 0;
            CellRef r = call(f.name, {flt(x)});
            int seen = program_errno_now();
            errno = 0;
            double want = f.c(x);
            int want_errno = errno;
            EXPECT_TRUE(same_bits(double_of(r), want)) << f.name << '(' << x << ')';
            EXPECT_EQ(seen, want_errno) << f.name << '(' << x << ')';
        }
}

TEST(Maths, DomainErrorsAreValuesNotFailures) {
    program_errno = 0;
    EXPECT_TRUE(std::isnan(double_of(call("sqrt", {flt(-4.0)}))));
    EXPECT_EQ(program_errno_now(), EDOM);
    program_errno = 0;
    EXPECT_EQ(double_of(call("log", {flt(0.0)})), -kInf);
    EXPECT_EQ(program_errno_now(), ERANGE);
    EXPECT_TRUE(std::isnan(double_of(call("acos", {flt(2.0)}))));
    EXPECT_EQ(double_of(call("exp", {flt(1000)})), kInf);
    EXPECT_EQ(double_of(call("sqrt", {flt(6.25)})), 2.5);
}

TEST(Maths, TwoFloatFunctionsGiveTheCResultAndErrno) {
    for (const Binary& f : kBinary)
        for (double x : kSamples)
            for (double y : kSamples) {
                program_errno = 0;
                CellRef r = call(f.name, {flt(x), flt(y)});
                int seen = program_errno_now();
                errno = 0;
                double want = f.c(x, y);
                int want_errno = errno;
                EXPECT_TRUE(same_bits(double_of(r), want))
                    << f.name << '(' << x << ", " << y << ')';
                EXPECT_EQ(seen, want_errno) << f.name << '(' << x << ", " << y << ')';
            }
    EXPECT_EQ(double_of(call("pow", {flt(2), flt(10)})), 1024.0);  // order of the arguments
    EXPECT_EQ(double_of(call("fmod", {flt(7), flt(3)})), 1.0);
}

TEST(Maths, FloatArgumentsMustBeFloatLeaves) {
    const CellRef wrong[] = {num(2),
                             from_text("002"),
                             make_blob("2.0"),
                             from_text("[2]"),
                             from_text("x"),
                             leaves().K,
                             apply(from_text("[a]"), from_text("[b]"))};
    for (const CellRef& w : wrong) {
        for (const Unary& f : kUnary)
            EXPECT_TRUE(is_z(call(f.name, {w}))) << f.name << ' ' << w.view();
        for (const Binary& f : kBinary) {
            EXPECT_TRUE(is_z(call(f.name, {w, flt(1)}))) << f.name;
            EXPECT_TRUE(is_z(call(f.name, {flt(1), w}))) << f.name;  // a good first changes nothing
        }
        EXPECT_TRUE(is_z(call("ldexp", {w, num(1)})));
    }
    // a leaf beginning with a blank is a float; its 8 bytes are the double
    EXPECT_EQ(double_of(call("fabs", {flt(-3.5)})), 3.5);
}

TEST(Maths, LdexpScalesByTheWholeExponent) {
    for (double x : kSamples)
        for (int e : {0, 1, -1, 52, -1074, 1023, 1024, 2000, -2000, INT_MAX, INT_MIN})
            EXPECT_TRUE(same_bits(double_of(call("ldexp", {flt(x), num(e)})), std::ldexp(x, e)))
                << x << ' ' << e;
    // beyond the int range the power is still beyond every double: no wrap to a small exponent
    EXPECT_EQ(double_of(call("ldexp", {flt(1.0), num(int64_t(1) << 32)})), kInf);
    EXPECT_EQ(double_of(call("ldexp", {flt(1.0), num((int64_t(1) << 32) + 1)})), kInf);
    EXPECT_EQ(double_of(call("ldexp", {flt(-1.0), num(INT64_MAX)})), -kInf);
    EXPECT_TRUE(same_bits(double_of(call("ldexp", {flt(-1.0), num(INT64_MIN)})), -0.0));
    EXPECT_EQ(double_of(call("ldexp", {flt(3.0), from_text("100000000000000000000000")})), kInf);
    EXPECT_TRUE(is_z(call("ldexp", {flt(1.0), from_text("[3]")})));
    EXPECT_TRUE(is_z(call("ldexp", {flt(1.0), flt(3)})));
}

TEST(Maths, FrexpAndModfStoreTheirSecondResultAtTheAddress) {
    for (double x : kSamples) {
        int exponent = 12345, want_exponent = 12345;
        double fraction = double_of(call("frexp", {flt(x), addr(&exponent)}));
        double want = std::frexp(x, &want_exponent);
        EXPECT_TRUE(same_bits(fraction, want)) << x;
        if (std::isfinite(x)) {
            EXPECT_EQ(exponent, want_exponent) << x;
        }

        double whole = 0, want_whole = 0;
        double part = double_of(call("modf", {flt(x), addr(&whole)}));
        EXPECT_TRUE(same_bits(part, std::modf(x, &want_whole))) << x;
        EXPECT_TRUE(same_bits(whole, want_whole)) << x;
    }
    // only the 4 bytes of the int are written
    int pair[2] = {0, 777};
    EXPECT_EQ(double_of(call("frexp", {flt(8.0), addr(pair)})), 0.5);
    EXPECT_EQ(pair[0], 4);
    EXPECT_EQ(pair[1], 777);

    // C writes through the pointer: no null, no wrong kinds, and then nothing is written
    EXPECT_TRUE(is_z(call("frexp", {flt(8.0), num(0)})));
    EXPECT_TRUE(is_z(call("modf", {flt(8.5), num(0)})));
    EXPECT_TRUE(is_z(call("modf", {flt(8.5), make_blob("12345678")})));
    EXPECT_TRUE(is_z(call("frexp", {num(8), addr(pair)})));
    EXPECT_EQ(pair[0], 4);
}

TEST(Maths, AtofReadsTheCStringView) {
    EXPECT_EQ(double_of(call("atof", {make_blob("2.5")})), 2.5);
    EXPECT_EQ(double_of(call("atof", {make_blob("  -1e3xyz")})), -1000.0);
    EXPECT_EQ(double_of(call("atof", {make_blob("")})), 0.0);
    EXPECT_EQ(double_of(call("atof", {from_text("[2.5]")})), 0.0);  // the "[" comes first
    const char text[] = "0x1p-3";
    EXPECT_EQ(double_of(call("atof", {addr(text)})), 0.125);
    EXPECT_TRUE(std::isinf(double_of(call("atof", {make_blob("inf")}))));
    EXPECT_TRUE(is_z(call("atof", {num(0)})));
    EXPECT_TRUE(is_z(call("atof", {flt(2.5)})));
    EXPECT_TRUE(is_z(call("atof", {apply(from_text("[2]"), from_text("[5]"))})));
}

TEST(Maths, StrtodStoresTheEndAddressAndSetsErrno) {
    CellRef blob = make_blob("3.75rest");
    const char* start = blob_payload(blob.get()).data();
    char* end = nullptr;
    EXPECT_EQ(double_of(call("strtod", {blob, addr(&end)})), 3.75);
    EXPECT_EQ(end, start + 4);

    const char big[] = "1e999 and more";
    program_errno = 0;
    EXPECT_EQ(double_of(call("strtod", {addr(big), addr(&end)})), kInf);
    EXPECT_EQ(end, big + 5);
    EXPECT_EQ(program_errno_now(), ERANGE);

    const char none[] = "no number";
    EXPECT_EQ(double_of(call("strtod", {addr(none), addr(&end)})), 0.0);
    EXPECT_EQ(end, none);  // nothing read: the end is the start

    EXPECT_EQ(double_of(call("strtod", {make_blob("-0.5"), num(0)})), -0.5);  // no end wanted
    EXPECT_TRUE(is_z(call("strtod", {make_blob("1"), from_text("[0]")})));
    EXPECT_TRUE(is_z(call("strtod", {num(0), addr(&end)})));
}

TEST(Maths, CallsLeaveNoCellsBehind) {
    (void)leaves();
    uint64_t live = cell_stats().live;
    for (int i = 0; i < 3; ++i) {
        (void)call("hypot", {flt(3), flt(4)});
        (void)call("hypot", {flt(3), num(4)});
        (void)call("atof", {make_blob("1.5")});
    }
    EXPECT_EQ(cell_stats().live, live);
}

}  // namespace
