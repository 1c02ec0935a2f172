#pragma once

// The quoted field mode's cut of one batch of a block for the data-file reader: the records of a
// stretch, in two halves on two threads when it is large. A record may span lines, so where the
// second half begins is a guess (just after the line end nearest the middle) that holds when the
// first half's last record ends there; otherwise the first half goes on alone.

#include "base/ByteKernels.h"

#include <cstddef>

class HelperThread;

namespace QuotedRecordScan {

struct Batch {
    std::size_t firstEnd = 0; // where the records of parts[0] end (and those of parts[1] begin)
    std::size_t end = 0;      // where the next batch begins
    bool irregular = false;   // a closing quote followed by anything but a separator
    std::size_t lineEnds[2] = {0, 0}; // the LFs of each part's records
};

// The records of base[begin, ...) that begin before softEnd (limit: the end of the whole lines)
// with `want` commas, as QuotedFields::cutRecords puts them, into parts[0] and parts[1] (both
// cleared first). With a helper the stretch is cut in two halves, the second on the helper's
// thread (after the first on this one with helperInline).
Batch cut(const char* base, std::size_t begin, std::size_t softEnd, std::size_t limit,
          std::size_t want, ByteKernels::LineCuts (&parts)[2], HelperThread* helper,
          bool helperInline);

} // namespace QuotedRecordScan
