#pragma once

#include <cstdint>
#include <vector>

class ResultListModel;

// Sorting the result list by its row texts.
//
// Collation: the whole row text, compared UTF-16 code unit by code unit (so "10,x" comes before
// "9,x", "A" before "a", and a text before every longer text that begins with it). No case, width
// or kana folding.
//
// Both orders are stable: rows with equal texts keep their relative order. Descending is the exact
// mirror of ascending for distinct texts, so sorting ascending and then descending reverses the
// distinct rows.
namespace ResultSort {

enum class Order { Ascending, Descending };

// Code: the code-unit order above. Japanese: the Japanese order of JapaneseSort (kana by sound,
// kanji in JIS order, digit runs as numbers), with the same stability and descending rule.
enum class Collation { Code, Japanese };

// The new display order: element j is the current position of the row that moves to position j.
std::vector<std::uint32_t> sortedOrder(const ResultListModel& model, Order order,
                                       Collation collation = Collation::Code);

// Tests: while on, the code order is sorted with the wide keys that otherwise serve only a result
// of more than 2^30 rows.
void setWideKeysForTesting(bool on);

// Rearranges the model's rows by such an order (one model reset).
void apply(ResultListModel& model, const std::vector<std::uint32_t>& order);

} // namespace ResultSort
