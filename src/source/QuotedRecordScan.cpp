// The quoted field mode's cut of a batch, in two halves on two threads when it is large.
#include "source/QuotedRecordScan.h"

#include "source/HelperThread.h"
#include "source/QuotedFields.h"

#include <cstring>

namespace QuotedRecordScan {

Batch cut(const char* base, std::size_t begin, std::size_t softEnd, std::size_t limit,
          std::size_t want, ByteKernels::LineCuts (&parts)[2], HelperThread* helper,
          bool helperInline) {
    parts[0].clear();
    parts[1].clear();
    bool irregular[2] = {false, false};
    std::size_t lineEnds[2] = {0, 0};
    std::size_t end = softEnd;
    std::size_t firstEnd = softEnd;
    const void* lf = nullptr;
    if (helper) {
        const std::size_t middle = begin + (softEnd - begin) / 2;
        lf = std::memchr(base + middle, '\n', softEnd - middle);
    }
    if (lf) {
        // The second half is cut on the guess that a record begins after the line end in the
        // middle; it holds when the first half's last record ends there.
        const std::size_t split = std::size_t(static_cast<const char*>(lf) - base) + 1;
        std::size_t secondEnd = split;
        ByteKernels::LineCuts& second = parts[1];
        bool& secondIrregular = irregular[1];
        std::size_t& secondLineEnds = lineEnds[1];
        helper->both(
            [&] {
                firstEnd = QuotedFields::cutRecords(base, begin, split, limit, want, parts[0],
                                                    irregular[0], lineEnds[0]);
            },
            [base, split, softEnd, limit, want, &second, &secondEnd, &secondIrregular,
             &secondLineEnds] {
                secondEnd = QuotedFields::cutRecords(base, split, softEnd, limit, want, second,
                                                     secondIrregular, secondLineEnds);
            },
            helperInline);
        if (firstEnd == split) {
            end = secondEnd;
        } else {
            // A quoted line break across the middle: the first half goes on alone.
            parts[1].clear();
            irregular[1] = false;
            lineEnds[1] = 0;
            end = QuotedFields::cutRecords(base, firstEnd, softEnd, limit, want, parts[0],
                                           irregular[0], lineEnds[0]);
            firstEnd = end;
        }
    } else {
        end = QuotedFields::cutRecords(base, begin, softEnd, limit, want, parts[0], irregular[0],
                                       lineEnds[0]);
        firstEnd = end;
    }
    Batch batch;
    batch.firstEnd = firstEnd;
    batch.end = end;
    batch.irregular = irregular[0] || irregular[1];
    batch.lineEnds[0] = lineEnds[0];
    batch.lineEnds[1] = lineEnds[1];
    return batch;
}

} // namespace QuotedRecordScan
