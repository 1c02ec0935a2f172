#pragma once

// Large memory as the program takes it from the system: mapped blocks in huge pages, the advice
// for memory taken elsewhere, the out-of-memory pre-check against MemAvailable, and reading a
// file at an offset into memory the caller owns. (The C library's threshold for giving large
// blocks back is set in ProcessMemory.)

#include <QtGlobal>

#include <cstddef>
#include <optional>

namespace LargeMemory {

// Requests from this size on are mapped straight from the system.
constexpr std::size_t kMapFrom = std::size_t(1) << 20;
// Requests from this size on are held against the memory the system can still give.
constexpr std::size_t kCheckAvailableFrom = std::size_t(64) << 20;

// Memory for `bytes` bytes, its content undefined: mapped from kMapFrom on (in huge pages where
// the system has them, so that fresh memory does not cost a page fault per 4 KiB; pages never
// written cost nothing, and freeing gives it back at once), from the heap below. Throws
// std::bad_alloc when the system refuses.
void* allocate(std::size_t bytes);
// Gives back what allocate(bytes) returned.
void release(void* p, std::size_t bytes);

// Asks for huge pages for the whole 2 MiB pages inside [data, data + bytes) (memory from elsewhere,
// a QString's, say).
void adviseHugePages(void* data, std::size_t bytes);

// Gives the whole pages inside [data, data + bytes) back to the system while the memory stays
// allocated: bytes there are no longer needed (they read as zero afterwards). Nothing where the
// system cannot do that.
void giveBack(void* data, std::size_t bytes);

// The memory the system can still give without swapping (MemAvailable), or 0 when it does not
// say.
std::size_t available();
// The pre-check: a request of kCheckAvailableFrom bytes or more that is larger than available()
// would only be taken from the other programs (or end this one when written), so it throws
// std::bad_alloc now instead.
void checkAvailable(std::size_t bytes);
// Tests: what available() says from now on (nothing: the system's figure again).
void setAvailableForTesting(std::optional<std::size_t> bytes);

// Reads up to `bytes` bytes at `offset` of the open file `fd` into `to`, going on after
// interruptions and short reads; the bytes read (fewer only at the end of the file), or -1.
qint64 readAt(int fd, char* to, qint64 bytes, qint64 offset);

} // namespace LargeMemory
