#pragma once

#include <cstddef>
#include <functional>

namespace quiltana::test {

// What a child process started by RunInCappedChild may use.
struct ChildCaps {
    // Address space in bytes (RLIMIT_AS); 0 for no cap. Left off under AddressSanitizer, whose
    // shadow memory needs terabytes of address space.
    std::size_t addressSpace = 0;
    // Seconds of processor time (RLIMIT_CPU: SIGXCPU, then SIGKILL 5 s later); 0 for no cap.
    unsigned processorSeconds = 0;
    // Under AddressSanitizer, in place of the address-space cap: an allocation larger than this
    // ends the child at once with `largeAllocationExit`. 0 for no such check.
    std::size_t largestAllocation = 0;
    int largeAllocationExit = 0;
    // The exit code when the work throws, or when a cap cannot be put in place.
    int failureExit = 0;
};

// Whether this build runs under AddressSanitizer.
[[nodiscard]] bool UnderAddressSanitizer();

// Runs `work` in a child process under `caps`. Returns the child's exit code (what `work`
// returned, 0..255), or -signal when it died.
[[nodiscard]] int RunInCappedChild(const ChildCaps &caps, const std::function<int()> &work);

} // namespace quiltana::test
