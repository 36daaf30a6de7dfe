#include "memory.h"

#include <sys/resource.h>

#include <cstdio>
#include <cstring>

namespace quiltana::bench {

namespace {

long statusFieldKb(const char *field)
{
    std::FILE *status = std::fopen("/proc/self/status", "r");
    if (!status)
        return -1;
    char line[256];
    long value = -1;
    const std::size_t length = std::strlen(field);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, field, length) == 0 && line[length] == ':') {
            std::sscanf(line + length + 1, "%ld", &value);
            break;
        }
    }
    std::fclose(status);
    return value;
}

} // namespace

long residentKb() { return statusFieldKb("VmRSS"); }

long peakResidentKb()
{
    const long hwm = statusFieldKb("VmHWM");
    if (hwm >= 0)
        return hwm;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

bool resetPeakMemory()
{
    // "5" resets the peak resident size (VmHWM) to the present one.
    std::FILE *refs = std::fopen("/proc/self/clear_refs", "w");
    if (!refs)
        return false;
    const bool written = std::fputs("5", refs) >= 0;
    return std::fclose(refs) == 0 && written;
}

} // namespace quiltana::bench
