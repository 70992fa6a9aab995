#pragma once
// How the C library's allocator keeps memory for a server that builds large pages
// again and again.
namespace platform {

// Blocks up to 4 MiB (the entries of a listing of thousands of names) come from the
// heap, and up to 4 MiB freed at its top stays there, so the next listing reuses warm
// pages instead of mapping fresh ones and faulting each of them in. Call it once,
// before the first allocation that matters.
void KeepLargeBlocksWarm();

}  // namespace platform
