#pragma once

// The process's memory as the program wants it.
namespace ProcessMemory {

// Large allocations (row lists, sort keys, text for the clipboard) come straight from the system
// and go straight back when freed. By default the C library raises that threshold as large blocks
// are freed and then serves blocks of up to 32 MB from its heap, which a process of millions of
// rows leaves holding memory it no longer uses. Call once at start-up.
void returnLargeBlocksAtOnce();

} // namespace ProcessMemory
