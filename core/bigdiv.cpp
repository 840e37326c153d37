// Quotients and remainders. Short quotients and short divisors take long division limb
// by limb (quotient limbs estimated from the top limbs, as in any textbook); long ones
// multiply by a reciprocal of the divisor found by Newton's iteration on the fast
// products, then set the estimate right with the exact remainder.
#include <algorithm>

#include "core/assert.h"
#include "core/bignat.h"

namespace ruk::bignat {

namespace {

// Below this many limbs in the divisor or in the quotient, long division.
constexpr size_t kNewtonMin = 48;

// a / d and a % d for a divisor of one limb.
void divide_by_limb(View a, Limb d, Nat* quotient, Nat* remainder) {
    Nat q(a.size());
    uint64_t r = 0;
    for (size_t i = a.size(); i-- > 0;) {
        uint64_t cur = r * kBase + a[i];
        q[i] = Limb(cur / d);
        r = cur % d;
    }
    trim(q);
    if (quotient) *quotient = std::move(q);
    if (remainder) *remainder = r == 0 ? Nat() : Nat{Limb(r)};
}

// Long division for trimmed a >= d with at least two limbs in d. Both are scaled so that
// the divisor's top limb is at least half the base; then each quotient limb guessed from
// the top two limbs of the remainder and the top limb of the divisor is at most two too
// large, and one more step on the divisor's second limb nearly always settles it.
void long_division(View a, View d, Nat* quotient, Nat* remainder) {
    size_t m = a.size(), n = d.size();
    Limb f = Limb(kBase / (uint64_t(d[n - 1]) + 1));
    Nat u(m + 1), v(d.begin(), d.end());
    std::copy(a.begin(), a.end(), u.begin());
    u[m] = multiply_by_limb(u.data(), m, f);
    Limb vc = multiply_by_limb(v.data(), n, f);
    RUK_ASSERT(vc == 0 && v[n - 1] >= kBase / 2);
    Nat q(m - n + 1);
    const uint64_t top = v[n - 1], second = v[n - 2];
    for (size_t j = m - n + 1; j-- > 0;) {
        uint64_t num = uint64_t(u[j + n]) * kBase + u[j + n - 1];
        uint64_t qhat = num / top, rhat = num % top;
        while (qhat >= kBase || qhat * second > rhat * kBase + u[j + n - 2]) {
            --qhat;
            rhat += top;
            if (rhat >= kBase) break;
        }
        // u[j .. j + n] -= qhat v
        uint64_t carry = 0;
        int64_t borrow = 0;
        for (size_t i = 0; i < n; ++i) {
            uint64_t p = qhat * v[i] + carry;
            carry = p / kBase;
            int64_t t = int64_t(u[i + j]) - int64_t(p % kBase) - borrow;
            borrow = t < 0;
            u[i + j] = Limb(borrow ? t + kBase : t);
        }
        int64_t t = int64_t(u[j + n]) - int64_t(carry) - borrow;
        if (t < 0) {  // qhat was one too large: add v back
            --qhat;
            Limb c = add_into(u.data() + j, n, v);
            t += c;
        }
        RUK_ASSERT(t == 0);  // what is left is below v
        u[j + n] = 0;
        q[j] = Limb(qhat);
    }
    trim(q);
    if (quotient) *quotient = std::move(q);
    if (remainder) {
        u.resize(n);
        trim(u);
        Nat r;
        divide_by_limb(u, f, &r, nullptr);
        *remainder = std::move(r);
    }
}

void divide_small(View a, View d, Nat* quotient, Nat* remainder) {
    if (d.size() == 1) return divide_by_limb(a, d[0], quotient, remainder);
    long_division(a, d, quotient, remainder);
}

// B^k as limbs.
Nat power_of_base(size_t k) {
    Nat x(k + 1, 0);
    x[k] = 1;
    return x;
}

// An approximation within a few units of B^(n - 1 + p) / d, for d of n limbs: p limbs
// (p + 1 when d is a power of the base). Only the top p + 1 limbs of d matter to that
// precision, so the work is done on them (zero-padded when d is shorter), and Newton's
// step X' = X + X (B^2p - Dt X) / B^2p doubles the precision of the half-length answer.
Nat reciprocal(View d, size_t p) {
    size_t n = d.size(), t = p + 1;
    Nat dt(t, 0);
    if (n >= t)
        std::copy(d.end() - t, d.end(), dt.begin());
    else
        std::copy(d.begin(), d.end(), dt.begin() + (t - n));
    if (p <= kNewtonMin) {
        Nat x;
        divide_small(power_of_base(2 * p), dt, &x, nullptr);
        return x;
    }
    size_t h = p / 2 + 2;
    Nat z = reciprocal(dt, h);  // about B^(p + h) / dt
    Nat x(p - h, 0);
    x.insert(x.end(), z.begin(), z.end());  // about B^2p / dt
    Nat dx = multiply(dt, x);
    Nat one = power_of_base(2 * p);
    int sign = compare(one, dx);
    if (sign == 0) return x;
    Nat e = sign > 0 ? subtract(one, dx) : subtract(dx, one);
    Nat fix = multiply(x, e);
    View shift = fix.size() > 2 * p ? View(fix).subspan(2 * p) : View();
    return sign > 0 ? add(x, shift) : subtract(x, trimmed(shift));
}

// a / d for long divisors and quotients, m = a.size() >= n = d.size().
void divide_newton(View a, View d, Nat* quotient, Nat* remainder) {
    size_t m = a.size(), n = d.size(), ql = m - n + 1, p = ql + 1;
    Nat y = reciprocal(d, p);                  // about B^(n + ql) / d
    Nat head = multiply(a.subspan(n - 2), y);  // a / B^(n - 2) times that
    Nat q(head.size() > p + 1 ? head.begin() + ptrdiff_t(p + 1) : head.end(), head.end());
    // Now q is within a few units of the quotient: settle it on the exact remainder.
    Nat qd = multiply(q, d);
    const Nat unit{1};
    int steps = 0;
    while (compare(qd, a) > 0) {
        q = subtract(q, unit);
        qd = subtract(qd, d);
        RUK_ASSERT(++steps < 64);
    }
    Nat r = subtract(a, qd);
    while (compare(r, d) >= 0) {
        q = add(q, unit);
        r = subtract(r, d);
        RUK_ASSERT(++steps < 64);
    }
    if (quotient) *quotient = std::move(q);
    if (remainder) *remainder = std::move(r);
}

}  // namespace

void divide(View a, View d, Nat* quotient, Nat* remainder) {
    a = trimmed(a);
    d = trimmed(d);
    RUK_ASSERT(!d.empty());
    if (compare(a, d) < 0) {
        if (quotient) quotient->clear();
        if (remainder) remainder->assign(a.begin(), a.end());
        return;
    }
    size_t n = d.size(), ql = a.size() - n + 1;
    if (n < kNewtonMin || ql < kNewtonMin) return divide_small(a, d, quotient, remainder);
    divide_newton(a, d, quotient, remainder);
}

}  // namespace ruk::bignat
