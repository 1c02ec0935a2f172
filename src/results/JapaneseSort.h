#pragma once

#include <cstdint>
#include <vector>

class ResultListModel;

// Sorting the result list by its row texts in Japanese order (JapaneseCollator: kana by sound,
// kanji in JIS order, digit runs as numbers).
//
// Ties: texts the collator finds fully equal are put in code order (UTF-16 code unit by code
// unit, as the code-order sort compares), and rows with the same text keep their relative order.
// So the order is total over distinct texts, and descending is the exact mirror of ascending for
// them, with equal rows still in their relative order.
//
// How it is fast: every row gets the first 11 bytes of its sort key (plus how many there are) and
// its position, 16 bytes in all, made on two threads (for a long list mostly from a table of
// characters rather than by ICU: JapaneseKeyPrefix); these are sorted as plain integers, and only
// runs of rows whose 11 bytes tie are looked at again, further into their keys.
namespace JapaneseSort {

// The new display order: element j is the current position of the row that moves to position j.
std::vector<std::uint32_t> sortedOrder(const ResultListModel& model, bool descending);

} // namespace JapaneseSort
