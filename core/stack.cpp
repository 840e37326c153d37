#include "core/stack.h"

#include <pthread.h>

#include "core/assert.h"

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
    // Fall back to smaller stacks if the address space is tight (ulimit -v).
    for (size_t size = bytes; size >= (size_t(64) << 20); size /= 2) {
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
