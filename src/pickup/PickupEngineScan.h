#pragma once

// The scan behind PickupEngine::pickRange and explain: the tests of one entry on one row, the
// byte searches that lead it through the rows, and the cut and decoded texts of the row at hand.
// Only PickupEngine.cpp includes it.

#include "pickup/PickupEngine.h"

#include "base/ByteKernels.h"
#include "base/FieldCut.h"
#include "pickup/ByteSearch.h"
#include "source/QuotedFields.h"
#include "source/RowStore.h"

#include <algorithm>
#include <cstring>

// The rows of one range, tested in order. A byte search on the row text does not search row by
// row: the rows of a range mostly lie one after the other in the store's blocks (with the line
// ends between them), so it searches straight through them for the next row that holds the
// phrase and remembers that row (its cursor); the rows before it need no search at all.
class PickupEngine::Scan {
public:
    Scan(const PickupEngine& engine, const RowStore& store, qint64 end)
        : m_encoding(engine.m_encoding), m_foldDecoder(engine.m_foldDecoder), m_store(store),
          m_end(end), m_nextHit(size_t(engine.m_cursors), -1),
          m_fieldTexts(size_t(engine.m_textSlots)),
          m_quoted(store.fieldMode() == FieldMode::Quoted),
          m_rawSafeStore(!m_quoted || !store.irregularQuotes()) {}

    bool test(const Entry& e, qint64 row) {
        if (e.matchesAll)
            return true;
        if (searched(e)) {
            if (hitFrom(e, row) != row)
                return false;
            if (e.byBytes() && e.column == 0)
                return true;
        }
        const QByteArrayView subject = e.column == 0 ? rowSubject(row) : field(row, e.column - 1);
        if (e.folded && !e.exact) {
            if (e.column != 0 && !e.forms.empty() &&
                std::none_of(e.forms.begin(), e.forms.end(),
                             [&](const QByteArray& form) { return holds(subject, form); }))
                return false;
            if (e.firstBytes && std::none_of(subject.begin(), subject.end(), [&](char b) {
                    return (*e.firstBytes)[std::uint8_t(b)];
                }))
                return false;
            return e.matcher.matches(e.column == 0 ? decoded(subject, row, &m_foldDecoder)
                                                   : fieldText(e, row, subject));
        }
        if (!e.forms.empty()) {
            for (const QByteArray& form : e.forms)
                if (holds(subject, form))
                    return true;
            return false;
        }
        return e.matcher.matches(e.column == 0 ? decoded(subject, row)
                                               : fieldText(e, row, subject));
    }
    // The first row from `row` on that a byte search of the inclusion lists lets through: with a
    // searched entry in AND, only its rows can be picked; else, with every entry of OR searched,
    // only theirs. The rows in between need no test at all.
    qint64 nextCandidate(const std::vector<Entry>& inAnd, const std::vector<Entry>& inOr,
                         qint64 row) {
        for (const Entry& e : inAnd)
            if (searched(e))
                return hitFrom(e, row);
        if (inOr.empty())
            return row;
        qint64 first = m_end;
        for (const Entry& e : inOr) {
            if (!searched(e))
                return row;
            first = std::min(first, hitFrom(e, row));
        }
        return first;
    }

    // True when the rows nextCandidate gives are exactly the picked rows, so that they need no
    // verdict: no exclusion list, and either "OR" entries only or one "AND" entry only, each a
    // byte search of the row text that answers its test by itself (not folded; a column's
    // search only finds the rows whose field is then tested).
    bool candidatesArePicked(const std::vector<Entry>& inAnd, const std::vector<Entry>& inOr,
                             const std::vector<Entry>& outAnd,
                             const std::vector<Entry>& outOr) const {
        if (!outAnd.empty() || !outOr.empty() || inAnd.size() + inOr.size() == 0 ||
            (!inAnd.empty() && (inAnd.size() > 1 || !inOr.empty())))
            return false;
        const std::vector<Entry>& list = inAnd.empty() ? inOr : inAnd;
        return std::all_of(list.begin(), list.end(), [&](const Entry& e) {
            return searched(e) && e.byBytes() && e.column == 0;
        });
    }

    bool all(const std::vector<Entry>& list, qint64 row) {
        for (const Entry& e : list) {
            if (!test(e, row))
                return false;
        }
        return true;
    }
    bool any(const std::vector<Entry>& list, qint64 row) {
        for (const Entry& e : list) {
            if (test(e, row))
                return true;
        }
        return false;
    }

private:
    static constexpr qint64 kWindowRows = 2048;
    // The longest subject searched byte by byte (holds).
    static constexpr qsizetype kShortSubject = 48;

    // The entry is searched straight through the rows' bytes (its cursor).
    bool searched(const Entry& e) const {
        return e.cursor >= 0 && (!m_quoted || (e.rawSafe && m_rawSafeStore));
    }

    // Column 0's subject: the row's bytes, or in quoted mode its field texts joined by ",".
    QByteArrayView rowSubject(qint64 row) {
        if (!m_quoted)
            return m_store.rowBytes(row);
        if (row != m_joinedRow) {
            m_joined = QuotedFields::joinedText(m_store.rowBytes(row));
            m_joinedRow = row;
        }
        return QByteArrayView(m_joined);
    }

    // The first row from `row` on that a searched entry lets through: for the row text, the first
    // that holds one of its forms; for a column, one that may.
    qint64 hitFrom(const Entry& e, qint64 row) {
        if (e.column == 0)
            return nextHit(e, row);
        const qint64 hit = m_nextHit[size_t(e.cursor)];
        return hit >= row ? hit : nextLeadRow(e, row);
    }

    // A leading column's next candidate: the first row from `row` on in whose bytes one of its
    // forms begins. Whether it starts on a character and ends inside the row is left to the
    // field's own test, which looks at far fewer bytes than the row's.
    qint64 nextLeadRow(const Entry& e, qint64 row) {
        qint64& hit = m_nextHit[size_t(e.cursor)];
        if (hit >= row)
            return hit;
        const char* needles[ByteKernels::kMaxNeedles];
        qsizetype sizes[ByteKernels::kMaxNeedles];
        const int count = int(e.forms.size()); // at most kMaxNeedles (leadByColumn)
        for (int k = 0; k < count; ++k) {
            needles[k] = e.forms[size_t(k)].data();
            sizes[k] = e.forms[size_t(k)].size();
        }
        const auto findAny = ByteKernels::active().findAny;
        while (row < m_end) {
            if (row < m_windowBegin || row >= m_windowEnd)
                buildWindow(row);
            qint64 k = row - m_windowBegin;
            const qsizetype length = m_rowEnd[m_windowEnd - m_windowBegin - 1];
            qsizetype from = m_rowBegin[k];
            while (from < length) {
                int which = 0;
                qsizetype at = count == 1 ? ByteSearch::find(m_windowText + from, length - from,
                                                             needles[0], sizes[0])
                                          : findAny(m_windowText + from, length - from, needles,
                                                    sizes, count, &which);
                if (at < 0)
                    break;
                at += from;
                while (m_rowEnd[k] <= at)
                    ++k;
                if (at >= m_rowBegin[k])
                    return hit = m_windowBegin + k;
                from = m_rowBegin[k]; // in the line end before row k
            }
            row = m_windowEnd;
        }
        return hit = m_end;
    }

    // The first row from `row` on that holds one of the entry's byte forms.
    qint64 nextHit(const Entry& e, qint64 row) {
        if (e.folded) {
            qint64& hit = m_nextHit[size_t(e.cursor)];
            if (hit < row)
                hit = nextRowWithAny(e.forms, row);
            return hit;
        }
        qint64 first = m_end;
        for (size_t k = 0; k < e.forms.size(); ++k) {
            qint64& hit = m_nextHit[size_t(e.cursor) + k];
            if (hit < row)
                hit = nextRowWith(e.forms[k], row);
            first = std::min(first, hit);
        }
        return first;
    }

    // True when the form occurs in the bytes starting on a character. A field of a few dozen bytes
    // is searched byte by byte: a call of the vector search costs more than it saves there.
    bool holds(QByteArrayView bytes, const QByteArray& form) const {
        const qsizetype n = bytes.size();
        const qsizetype m = form.size();
        if (n <= kShortSubject) {
            const char* const p = bytes.data();
            const char* const f = form.data();
            if (m == 1) {
                for (qsizetype at = 0; at < n; ++at)
                    if (p[at] == f[0] && ByteSearch::startsCharacter(m_encoding, bytes, at))
                        return true;
                return false;
            }
            // Two bytes at a time: the first two bytes of a form are mostly a whole character.
            std::uint16_t head;
            std::memcpy(&head, f, 2);
            for (qsizetype at = 0; at + m <= n; ++at) {
                std::uint16_t two;
                std::memcpy(&two, p + at, 2);
                if (two != head)
                    continue;
                qsizetype k = 2;
                while (k < m && p[at + k] == f[k])
                    ++k;
                if (k == m && ByteSearch::startsCharacter(m_encoding, bytes, at))
                    return true;
            }
            return false;
        }
        qsizetype from = 0;
        for (;;) {
            qsizetype at = ByteSearch::find(bytes.data() + from, bytes.size() - from, form.data(),
                                            form.size());
            if (at < 0)
                return false;
            at += from;
            if (ByteSearch::startsCharacter(m_encoding, bytes, at))
                return true;
            from = at + 1;
        }
    }

    // Field `index` of the row; the row is cut once for all the entries that look at its fields,
    // and only as far as the furthest field they ask for.
    QByteArrayView field(qint64 row, int index) {
        if (m_quoted) {
            const QByteArrayView bytes = m_store.rowBytes(row);
            if (row != m_cutRow) {
                QuotedFields::fieldEnds(bytes, m_quotedEnds);
                m_cutRow = row;
            }
            if (size_t(index) >= m_quotedEnds.size())
                return {};
            const qsizetype begin = index == 0 ? 0 : m_quotedEnds[size_t(index) - 1] + 1;
            return QuotedFields::fieldText(bytes.sliced(begin, m_quotedEnds[size_t(index)] - begin),
                                           m_fieldScratch);
        }
        if (row != m_cutRow) {
            m_cut.reset(m_store.rowBytes(row));
            m_cutRow = row;
        }
        return m_cut.field(index);
    }

    // The decoded (or, in a folded engine, folded) text of the entry's field, decoded once per row
    // for all the entries on that column. A field of ASCII bytes alone is its bytes widened, in
    // either encoding.
    QStringView fieldText(const Entry& e, qint64 row, QByteArrayView bytes) {
        FieldText& slot = m_fieldTexts[size_t(e.textSlot)];
        if (slot.row == row)
            return QStringView(slot.text.data(), slot.size);
        const qsizetype n = bytes.size();
        if (slot.text.size() < size_t(n))
            slot.text.resize(size_t(n));
        char16_t* const out = slot.text.data();
        if (e.folded) {
            slot.size = m_foldDecoder.decodeInto(bytes, out);
        } else {
            const auto* const p = reinterpret_cast<const unsigned char*>(bytes.data());
            unsigned high = 0;
            for (qsizetype i = 0; i < n; ++i) {
                high |= p[i];
                out[i] = p[i];
            }
            slot.size = high < 0x80 ? n : TextCodec::decodeInto(m_encoding, bytes, out);
        }
        slot.row = row;
        return QStringView(out, slot.size);
    }

    // The row's decoded text (folded, when fold is given: every entry of one engine is folded
    // alike, or none), decoded once for all its entries.
    QStringView decoded(QByteArrayView bytes, qint64 row, const FoldDecoder* fold = nullptr) {
        std::vector<char16_t>& buffer = m_rowText;
        if (row == m_decodedRow)
            return QStringView(buffer.data(), m_rowTextSize);
        if (buffer.size() < size_t(bytes.size()))
            buffer.resize(size_t(bytes.size()));
        const qsizetype n = fold ? fold->decodeInto(bytes, buffer.data())
                                 : TextCodec::decodeInto(m_encoding, bytes, buffer.data());
        m_decodedRow = row;
        m_rowTextSize = n;
        return QStringView(buffer.data(), n);
    }

    // Finds the rows from `row` on that lie one after the other in one block (at most
    // kWindowRows of them), and where each of them begins and ends.
    void buildWindow(qint64 row) {
        const QByteArrayView first = m_store.rowBytes(row);
        const int block = m_store.rowBlock(row);
        m_windowText = first.data();
        m_rowBegin[0] = 0;
        m_rowEnd[0] = first.size();
        qint64 count = 1;
        const qint64 last = std::min(m_end, row + kWindowRows);
        qsizetype end = m_rowEnd[0];
        for (qint64 r = row + 1; r < last; ++r) {
            // Another block, or a corrected row kept apart: the window ends before it.
            if (m_store.rowBlock(r) != block)
                break;
            const QByteArrayView next = m_store.rowBytes(r);
            const qsizetype offset = next.data() - m_windowText;
            if (offset < end || offset > kMaxGap + end)
                break;
            end = offset + next.size();
            m_rowBegin[count] = offset;
            m_rowEnd[count] = end;
            ++count;
        }
        m_windowBegin = row;
        m_windowEnd = row + count;
    }

    // The first row from `row` on whose bytes hold the form starting on a character, or m_end.
    qint64 nextRowWith(const QByteArray& form, qint64 row) {
        const qsizetype m = form.size();
        const auto findBytes = ByteKernels::active().findBytes;
        return nextRowFound<true>(row, [&](const char* text, qsizetype n, qsizetype& size) {
            size = m;
            return findBytes(text, n, form.data(), m);
        });
    }

    // The same for any of the forms (at most ByteKernels::kMaxNeedles, shortest first, so that
    // the form found at a place is the shortest there), in one pass.
    qint64 nextRowWithAny(const std::vector<QByteArray>& forms, qint64 row) {
        const char* needles[ByteKernels::kMaxNeedles];
        qsizetype sizes[ByteKernels::kMaxNeedles];
        const int count = int(std::min<size_t>(forms.size(), ByteKernels::kMaxNeedles));
        for (int k = 0; k < count; ++k) {
            needles[k] = forms[size_t(k)].data();
            sizes[k] = forms[size_t(k)].size();
        }
        const auto findAny = ByteKernels::active().findAny;
        return nextRowFound<false>(row, [&](const char* text, qsizetype n, qsizetype& size) {
            int which = 0;
            const qsizetype at = findAny(text, n, needles, sizes, count, &which);
            size = at < 0 ? 0 : sizes[which];
            return at;
        });
    }

    // The first row from `row` on in whose bytes find (text, size, found length) finds something
    // starting on a character, or m_end. With one needle (all finds of one length), a find that
    // runs past its row's end means no later place of that row can hold it either.
    template <bool kOneLength, typename Find> qint64 nextRowFound(qint64 row, Find find) {
        while (row < m_end) {
            if (row < m_windowBegin || row >= m_windowEnd)
                buildWindow(row);
            qint64 k = row - m_windowBegin;
            const qint64 rows = m_windowEnd - m_windowBegin;
            qsizetype from = m_rowBegin[k];
            const qsizetype length = m_rowEnd[rows - 1];
            while (from < length) {
                qsizetype m = 0;
                qsizetype at = find(m_windowText + from, length - from, m);
                if (at < 0)
                    break;
                at += from;
                while (m_rowEnd[k] <= at)
                    ++k;
                if (at < m_rowBegin[k]) {
                    from = m_rowBegin[k]; // in the line end (or a skipped line) before row k
                } else if (at + m > m_rowEnd[k]) {
                    from = kOneLength ? m_rowEnd[k] : at + 1; // runs past the row's end
                } else if (ByteSearch::startsCharacter(m_encoding,
                                                       QByteArrayView(m_windowText + m_rowBegin[k],
                                                                      m_rowEnd[k] - m_rowBegin[k]),
                                                       at - m_rowBegin[k])) {
                    return m_windowBegin + k;
                } else {
                    from = at + 1; // inside a character: look on
                }
            }
            row = m_windowEnd;
        }
        return m_end;
    }

    // Bytes between two rows of one window at most (line ends and the odd skipped line); rows
    // further apart start a new window, so a search never runs through much that is no row.
    static constexpr qsizetype kMaxGap = 64 * 1024;

    const TextEncoding m_encoding;
    const FoldDecoder& m_foldDecoder;
    const RowStore& m_store;
    qint64 m_end;
    std::vector<qint64> m_nextHit;
    // The current window of rows: [m_windowBegin, m_windowEnd), bytes from m_windowText, row i of
    // it from m_rowBegin[i] to m_rowEnd[i].
    qint64 m_windowBegin = 0;
    qint64 m_windowEnd = 0;
    const char* m_windowText = nullptr;
    qsizetype m_rowBegin[kWindowRows];
    qsizetype m_rowEnd[kWindowRows];
    // Decoded subjects.
    std::vector<char16_t> m_rowText;
    qint64 m_decodedRow = -1;
    qsizetype m_rowTextSize = 0;
    // The row last cut into fields, and the decoded texts of its fields that entries took.
    qint64 m_cutRow = -1;
    FieldCut m_cut;
    struct FieldText {
        qint64 row = -1;
        std::vector<char16_t> text;
        qsizetype size = 0;
    };
    std::vector<FieldText> m_fieldTexts;
    // Quoted mode: the cut row's field ends, a field text that needed a copy, and the last
    // joined row text.
    const bool m_quoted;
    const bool m_rawSafeStore;
    std::vector<qsizetype> m_quotedEnds;
    QByteArray m_fieldScratch;
    QByteArray m_joined;
    qint64 m_joinedRow = -1;
};
