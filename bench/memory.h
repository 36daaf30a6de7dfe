#pragma once

namespace quiltana::bench {

// Resident memory of this process in kB, as /proc/self/status reports it.
[[nodiscard]] long residentKb();
// Peak resident memory in kB since the start or the last ResetPeakMemory().
[[nodiscard]] long peakResidentKb();
// Makes the peak restart from the present resident size; false when the kernel refuses, in
// which case the peak is the process's peak since it started.
bool resetPeakMemory();

} // namespace quiltana::bench
