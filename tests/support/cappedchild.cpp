#include "cappedchild.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define QUILTANA_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILTANA_TEST_ASAN 1
#endif
#endif

#ifdef QUILTANA_TEST_ASAN
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void *, std::size_t),
                                                        void (*free_hook)(const volatile void *));
#endif

namespace quiltana::test {

namespace {

#ifdef QUILTANA_TEST_ASAN
// Set in the child only, before the hook is installed.
std::size_t largestAllocation = 0;
int largeAllocationExit = 0;

void EndOnLargeAllocation(const volatile void *, std::size_t size)
{
    if (size > largestAllocation)
        _exit(largeAllocationExit);
}
// The runtime installs a malloc hook only together with a free hook.
void IgnoreFree(const volatile void *) {}
#endif

// In the child: puts the caps in place; false when one cannot be.
bool applyCaps(const ChildCaps &caps)
{
    if (caps.processorSeconds > 0) {
        const rlimit cpu{caps.processorSeconds, caps.processorSeconds + 5};
        setrlimit(RLIMIT_CPU, &cpu);
    }
#ifdef QUILTANA_TEST_ASAN
    if (caps.largestAllocation > 0) {
        largestAllocation = caps.largestAllocation;
        largeAllocationExit = caps.largeAllocationExit;
        if (!__sanitizer_install_malloc_and_free_hooks(EndOnLargeAllocation, IgnoreFree))
            return false;
    }
#else
    if (caps.addressSpace > 0) {
        const rlimit memory{caps.addressSpace, caps.addressSpace};
        setrlimit(RLIMIT_AS, &memory);
    }
#endif
    return true;
}

} // namespace

bool UnderAddressSanitizer()
{
#ifdef QUILTANA_TEST_ASAN
    return true;
#else
    return false;
#endif
}

int RunInCappedChild(const ChildCaps &caps, const std::function<int()> &work)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (!applyCaps(caps))
            _exit(caps.failureExit);
        int code = caps.failureExit;
        try {
            code = work();
        } catch (...) {
        }
        _exit(code);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

} // namespace quiltana::test
