/* The big-number workloads of bench/bigcompare.py, with GMP: a comparison only, never
   part of ruk. Each is timed with decimal text in and out ("text") and as the bare
   operation ("op"). Usage: big_ops RUNS; prints "<workload> <kind> <median seconds>". */
#include <gmp.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static char* digits(size_t n, uint64_t seed) {
    char* s = malloc(n + 1);
    uint64_t x = seed;
    for (size_t i = 0; i < n; ++i) {
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        s[i] = (char)('0' + (x >> 33) % 10);
    }
    if (s[0] == '0') s[0] = '1';
    s[n] = 0;
    return s;
}

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

static int cmp(const void* x, const void* y) {
    double a = *(const double*)x, b = *(const double*)y;
    return (a > b) - (a < b);
}

static const char *a, *b, *c, *d;
static mpz_t za, zb, zc, zd;

static void mul_text(void) {
    mpz_t x, y;
    mpz_inits(x, y, NULL);
    mpz_set_str(x, a, 10);
    mpz_set_str(y, b, 10);
    mpz_mul(x, x, y);
    free(mpz_get_str(NULL, 10, x));
    mpz_clears(x, y, NULL);
}
static void mul_op(void) {
    mpz_t x;
    mpz_init(x);
    mpz_mul(x, za, zb);
    mpz_clear(x);
}
static void pow_text(void) {
    mpz_t x;
    mpz_init(x);
    mpz_ui_pow_ui(x, 2, 100000);
    free(mpz_get_str(NULL, 10, x));
    mpz_clear(x);
}
static void pow_op(void) {
    mpz_t x;
    mpz_init(x);
    mpz_ui_pow_ui(x, 2, 100000);
    mpz_clear(x);
}
static void fact_op(void) {
    mpz_t f;
    mpz_init_set_ui(f, 1);
    for (unsigned long i = 2; i <= 20000; ++i) mpz_mul_ui(f, f, i);
    mpz_clear(f);
}
static void div_text(void) {
    mpz_t x, y, q, r;
    mpz_inits(x, y, q, r, NULL);
    mpz_set_str(x, c, 10);
    mpz_set_str(y, d, 10);
    mpz_tdiv_qr(q, r, x, y);
    free(mpz_get_str(NULL, 10, q));
    free(mpz_get_str(NULL, 10, r));
    mpz_clears(x, y, q, r, NULL);
}
static void div_op(void) {
    mpz_t q, r;
    mpz_inits(q, r, NULL);
    mpz_tdiv_qr(q, r, zc, zd);
    mpz_clears(q, r, NULL);
}

static void run(const char* name, const char* kind, void (*fn)(void), int runs) {
    double times[64];
    if (runs > 64) runs = 64;
    for (int i = 0; i < runs; ++i) {
        double start = now();
        fn();
        times[i] = now() - start;
    }
    qsort(times, (size_t)runs, sizeof times[0], cmp);
    printf("%s %s %.6f\n", name, kind, times[runs / 2]);
    fflush(stdout);
}

int main(int argc, char** argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 3;
    if (runs < 1) runs = 1;
    a = digits(100000, 1), b = digits(100000, 2), c = digits(200000, 3), d = digits(100000, 4);
    mpz_init_set_str(za, a, 10);
    mpz_init_set_str(zb, b, 10);
    mpz_init_set_str(zc, c, 10);
    mpz_init_set_str(zd, d, 10);
    run("multiply100k", "text", mul_text, runs);
    run("multiply100k", "op", mul_op, runs);
    run("power2^100000", "text", pow_text, runs);
    run("power2^100000", "op", pow_op, runs);
    run("factorial20000", "op", fact_op, runs);
    run("divide200k/100k", "text", div_text, runs);
    run("divide200k/100k", "op", div_op, runs);
    return 0;
}
