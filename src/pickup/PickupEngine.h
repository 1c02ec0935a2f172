#pragma once

#include "base/TextCodec.h"
#include "conditions/ConditionEntry.h"
#include "conditions/ConditionList.h"
#include "pickup/FoldDecoder.h"
#include "pickup/MatchOptions.h"
#include "pickup/PhraseMatcher.h"
#include "pickup/RowVerdict.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class RowStore;

// The entries of the four lists as the window holds them.
struct PickupConditions {
    std::span<const ConditionEntry> outAnd; // "NOT AND": removed when all match
    std::span<const ConditionEntry> outOr;  // "NOT OR": removed when one matches
    std::span<const ConditionEntry> inAnd;  // "AND": picked only when all match
    std::span<const ConditionEntry> inOr;   // "OR": picked only when one matches
};

// Why the lists cannot run: the first entry (lists in their fixed order, entries top first)
// whose column text is not a column of the table, or whose pattern is malformed.
struct PickupCompileError {
    enum class Reason { BadColumn, UnclosedGroup, ReversedRange };
    ConditionList list = ConditionList::OutAND;
    qsizetype entryIndex = 0; // 0-based, top first
    ConditionEntry entry;
    Reason reason = Reason::BadColumn;
    QString message; // for the user, names the list, the column text and the phrase
};

// The pickup's verdict over source rows, with the four lists compiled once.
//
// Subject of an entry: column 0 = the row's whole text (its fields joined by ","), column n =
// field n, as decoded text. A plain phrase is searched for in the row's bytes where that answers
// the same (ByteSearch); the phrases of a code page 932 file are taken in the code page's own forms
// of the characters input methods type otherwise (Cp932::toCodePageForms). A row is removed when at
// least one exclusion list has entries and it satisfies every non-empty exclusion list ("NOT AND":
// all entries match, "NOT OR": one entry matches). In the quoted field mode a field is its text
// (without its enclosing quotes) and column 0 the field texts joined by ","; a phrase without '"'
// and "," is found in those exactly where it is found in the record's own bytes (a quote is only
// added beside a comma or a record's edge, or doubled), so it is still searched in the bytes
// (unless some field has text after its closing quote). A row that is not removed is picked when it
// satisfies every non-empty inclusion list ("AND": all entries match, "OR": one entry matches).
// With MatchOptions switched on, every phrase and every subject is folded (TextFold) before the
// test: the subject's bytes are decoded straight into folded text (FoldDecoder). The picked rows
// are still the rows' own bytes; with every switch off nothing is folded.
class PickupEngine {
public:
    // Parses a column text: decimal digits "0".."9" only, value 0 .. commaCount + 1.
    static std::optional<int> parseColumn(QStringView text, int commaCount);

    // Compiles the lists for a table with commaCount commas per row, whose bytes are in this
    // encoding.
    static std::optional<PickupEngine> compile(const PickupConditions& conditions, int commaCount,
                                               PickupCompileError* error = nullptr,
                                               TextEncoding encoding = TextEncoding::Cp932,
                                               MatchOptions options = {});

    // Appends the rows of [begin, end) that are picked, in order.
    void pickRange(const RowStore& store, qint64 begin, qint64 end,
                   std::vector<std::uint32_t>& out) const;

    // One row's verdict taken apart, tested with the same compiled entries as pickRange: every
    // entry of every list is tested (no early exit), so each one's answer can be shown.
    RowVerdict explain(const RowStore& store, qint64 row) const;

    // The compiled entries, for showing where they match: the list's entry count, an entry's
    // column (0 = the whole row, n = column n) and its phrase test.
    qsizetype entryCount(ConditionList list) const { return qsizetype(entries(list).size()); }
    int entryColumn(ConditionList list, qsizetype i) const {
        return entries(list)[size_t(i)].column;
    }
    const PhraseMatcher& entryMatcher(ConditionList list, qsizetype i) const {
        return entries(list)[size_t(i)].matcher;
    }
    // The switches the lists were compiled with: a folded entry's matcher takes folded text
    // (TextFold::fold with these options).
    MatchOptions matchOptions() const { return m_options; }
    bool entryFolded(ConditionList list, qsizetype i) const {
        return entries(list)[size_t(i)].folded;
    }

private:
    struct Entry {
        int column; // 0 = whole row, n = field n - 1 of the store
        PhraseMatcher matcher;
        // A substring test done on the bytes: the phrase's byte forms (ByteSearch::forms). Empty:
        // the subject is decoded and matched as text.
        std::vector<QByteArray> forms;
        // Searched straight through the rows (a row text, or a column that leads the scan): the
        // first of its forms' slots in the Scan.
        int cursor = -1;
        bool matchesAll = false; // a pattern of stars only: every subject, the empty one too
        bool rawSafe = true;     // no form holds '"' or ",": searchable in a quoted record's bytes
        bool folded = false;     // matched on the folded text of the subject
        bool exact = false;      // folded, but its forms are every spelling: they decide
        // Folded, on a column: the bytes that begin a form (a field without one cannot match).
        std::shared_ptr<const std::array<bool, 256>> firstBytes = nullptr;
        // On a column, matched on its decoded text: the Scan's slot that keeps the row's text of
        // that column (one slot per column), or -1.
        int textSlot = -1;

        // The forms alone answer the test (the subject is never decoded).
        bool byBytes() const { return !forms.empty() && (!folded || exact); }
    };
    class Scan;

    // Gives a column's entry a cursor where it can lead the scan through the rows.
    void leadByColumn();

    const std::vector<Entry>& entries(ConditionList list) const {
        switch (list) {
        case ConditionList::OutAND:
            return m_outAnd;
        case ConditionList::OutOR:
            return m_outOr;
        case ConditionList::InAND:
            return m_inAnd;
        case ConditionList::InOR:
            break;
        }
        return m_inOr;
    }

    TextEncoding m_encoding = TextEncoding::Cp932;
    MatchOptions m_options;
    FoldDecoder m_foldDecoder{TextEncoding::Cp932, MatchOptions{}};
    std::vector<Entry> m_outAnd;
    std::vector<Entry> m_outOr;
    std::vector<Entry> m_inAnd;
    std::vector<Entry> m_inOr;
    int m_cursors = 0;   // byte forms searched through the rows for a phrase
    int m_textSlots = 0; // columns whose decoded text an entry takes
};
