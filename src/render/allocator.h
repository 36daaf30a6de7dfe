#pragma once

namespace quiltana {

// Sets the C library's allocator up for pictures decoded on several threads at once: one heap
// for all threads, so that a large block freed by one decoding (a progressive JPEG's
// coefficients) is reused by the next one on any thread instead of staying behind in a heap of
// the thread that freed it, and is not mapped afresh, page fault by page fault, each time.
// Call it once at start-up, before any other thread runs. Does nothing where the C library has
// no such setting (or in a QUILTANA_PORTABLE build).
void TuneAllocatorForDecoding();

} // namespace quiltana
