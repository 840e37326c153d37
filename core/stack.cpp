#include "core/stack.h"

#include <pthread.h>

#include "core/assert.h"
#include "core/reserve.h"

namespace ruk {

namespace {
struct Job {
    const std::function<int()>* fn;
    int result;
};

void* trampoline(void* p) {
    auto* job = static_cast<Job*>(p);
    job->result = (*job->fn)();
    return nullptr;
}
}  // namespace

int run_on_big_stack(const std::function<int()>& fn, size_t bytes) {
    Job job{&fn, 0};
    pthread_attr_t attr;
    RUK_ASSERT(pthread_attr_init(&attr) == 0);
    pthread_t thread;
    // Where the address space is limited (ulimit -v), a share of it, or less if need be.
    for (size_t size = reservable(bytes, 8); size >= (size_t(64) << 20); size /= 2) {
        RUK_ASSERT(pthread_attr_setstacksize(&attr, size) == 0);
        if (pthread_create(&thread, &attr, trampoline, &job) == 0) {
            pthread_attr_destroy(&attr);
            RUK_ASSERT(pthread_join(thread, nullptr) == 0);
            return job.result;
        }
    }
    pthread_attr_destroy(&attr);
    return fn();  // no thread to be had: run here
}

}  // namespace ruk
