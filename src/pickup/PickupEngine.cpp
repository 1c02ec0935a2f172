#include "pickup/PickupEngine.h"

#include "source/RowStore.h"

std::optional<int> PickupEngine::parseColumn(QStringView text, int commaCount) {
    if (text.isEmpty())
        return std::nullopt;
    const qint64 limit = qint64(commaCount) + 1;
    qint64 value = 0;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < u'0' || u > u'9')
            return std::nullopt;
        value = value * 10 + (u - u'0');
        if (value > limit) // also keeps a long digit string from overflowing
            return std::nullopt;
    }
    return int(value);
}

namespace {

QString compileMessage(const PickupCompileError& e, int commaCount) {
    const QString where = QStringLiteral("「%1」リストの条件（列: %2、語句: %3）")
                              .arg(conditionListName(e.list), e.entry.column, e.entry.phrase);
    switch (e.reason) {
    case PickupCompileError::Reason::BadColumn:
        return where + QStringLiteral("の列指定が正しくありません。\n列には 0 から %1 までの数字を"
                                      "指定してください。")
                           .arg(qint64(commaCount) + 1);
    case PickupCompileError::Reason::UnclosedGroup:
        return where +
               QStringLiteral("の語句が正しくありません。\n「[」に対応する「]」がありません。");
    case PickupCompileError::Reason::ReversedRange:
        return where + QStringLiteral("の語句が正しくありません。\n「[ ]」の中の範囲指定が"
                                      "逆順です。");
    }
    return where;
}

} // namespace

std::optional<PickupEngine> PickupEngine::compile(const PickupConditions& conditions,
                                                  int commaCount, PickupCompileError* error) {
    PickupEngine engine;
    struct Source {
        ConditionList id;
        std::span<const ConditionEntry> entries;
        std::vector<Entry>* target;
    };
    const Source sources[] = {
        {ConditionList::OutAND, conditions.outAnd, &engine.m_outAnd},
        {ConditionList::OutOR, conditions.outOr, &engine.m_outOr},
        {ConditionList::InAND, conditions.inAnd, &engine.m_inAnd},
        {ConditionList::InOR, conditions.inOr, &engine.m_inOr},
    };
    for (const Source& src : sources) {
        src.target->reserve(src.entries.size());
        for (size_t i = 0; i < src.entries.size(); ++i) {
            const ConditionEntry& ce = src.entries[i];
            std::optional<PickupCompileError::Reason> reason;
            const std::optional<int> column = parseColumn(ce.column, commaCount);
            PhraseMatcher::Error patternError = PhraseMatcher::Error::None;
            std::optional<PhraseMatcher> matcher;
            if (!column) {
                reason = PickupCompileError::Reason::BadColumn;
            } else {
                matcher = PhraseMatcher::compile(ce.phrase, &patternError);
                if (!matcher) {
                    reason = patternError == PhraseMatcher::Error::ReversedRange
                                 ? PickupCompileError::Reason::ReversedRange
                                 : PickupCompileError::Reason::UnclosedGroup;
                }
            }
            if (reason) {
                if (error) {
                    error->list = src.id;
                    error->entryIndex = qsizetype(i);
                    error->entry = ce;
                    error->reason = *reason;
                    error->message = compileMessage(*error, commaCount);
                }
                return std::nullopt;
            }
            Entry entry{*column, std::move(*matcher)};
            if (entry.column == 0 && !entry.matcher.isPattern() && !entry.matcher.needle().empty())
                entry.cursor = engine.m_cursors++;
            src.target->push_back(std::move(entry));
        }
    }
    return engine;
}

// The rows of one range, tested in order. A substring test on the row text does not search
// row by row: the rows of a range lie one after the other in the store's text blocks, so it
// searches straight through them for the next row that holds the phrase and remembers that row
// (its cursor); the rows before it need no search at all.
class PickupEngine::Scan {
public:
    Scan(const PickupEngine& engine, const RowStore& store, qint64 end)
        : m_store(store), m_end(end), m_nextHit(size_t(engine.m_cursors), -1) {}

    bool test(const Entry& e, qint64 row) {
        if (e.cursor >= 0) {
            qint64& hit = m_nextHit[size_t(e.cursor)];
            if (hit < row)
                hit = nextRowWith(e.matcher.needle(), row);
            return hit == row;
        }
        return e.matcher.matches(e.column == 0 ? m_store.rowText(row)
                                               : m_store.field(row, e.column - 1));
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

    // Finds the rows from `row` on whose texts follow each other without a gap (at most
    // kWindowRows of them), and where each of them ends.
    void buildWindow(qint64 row) {
        const QStringView first = m_store.rowText(row);
        m_windowText = first.utf16();
        qsizetype length = first.size();
        m_rowEnd[0] = length;
        qint64 count = 1;
        while (count < kWindowRows && row + count < m_end) {
            const QStringView next = m_store.rowText(row + count);
            if (next.utf16() != m_windowText + length)
                break;
            length += next.size();
            m_rowEnd[count++] = length;
        }
        m_windowBegin = row;
        m_windowEnd = row + count;
    }

    // The first row from `row` on whose text holds the needle, or m_end.
    qint64 nextRowWith(const std::u16string& needle, qint64 row) {
        const qsizetype m = qsizetype(needle.size());
        while (row < m_end) {
            if (row < m_windowBegin || row >= m_windowEnd)
                buildWindow(row);
            qint64 k = row - m_windowBegin;
            qsizetype from = k == 0 ? 0 : m_rowEnd[k - 1];
            const qsizetype length = m_rowEnd[m_windowEnd - m_windowBegin - 1];
            while (from < length) {
                qsizetype at =
                    PhraseMatcher::find(m_windowText + from, length - from, needle.data(), m);
                if (at < 0)
                    break;
                at += from;
                while (m_rowEnd[k] <= at)
                    ++k;
                if (at + m <= m_rowEnd[k])
                    return m_windowBegin + k;
                from = m_rowEnd[k]; // runs into the next row: go on from there
            }
            row = m_windowEnd;
        }
        return m_end;
    }

    const RowStore& m_store;
    qint64 m_end;
    std::vector<qint64> m_nextHit;
    // The current window of rows: [m_windowBegin, m_windowEnd), text from m_windowText, row i of
    // it ending at m_rowEnd[i].
    qint64 m_windowBegin = 0;
    qint64 m_windowEnd = 0;
    const char16_t* m_windowText = nullptr;
    qsizetype m_rowEnd[kWindowRows];
};

namespace {

template <typename Scan, typename List>
bool verdict(Scan& scan, const List& inAnd, const List& inOr, const List& outAnd, const List& outOr,
             qint64 row) {
    // Inclusion first: most runs include by a few entries, so most rows end here.
    if (!scan.all(inAnd, row))
        return false;
    if (!inOr.empty() && !scan.any(inOr, row))
        return false;
    if (outAnd.empty() && outOr.empty())
        return true;
    // Removed only when the row satisfies both exclusion lists (an empty one counts as
    // satisfied, but not both empty).
    if (!scan.all(outAnd, row))
        return true;
    if (!outOr.empty() && !scan.any(outOr, row))
        return true;
    return false;
}

} // namespace

bool PickupEngine::picks(const RowStore& store, qint64 row) const {
    Scan scan(*this, store, row + 1);
    return verdict(scan, m_inAnd, m_inOr, m_outAnd, m_outOr, row);
}

void PickupEngine::pickRange(const RowStore& store, qint64 begin, qint64 end,
                             std::vector<std::uint32_t>& out) const {
    Scan scan(*this, store, end);
    for (qint64 row = begin; row < end; ++row) {
        if (verdict(scan, m_inAnd, m_inOr, m_outAnd, m_outOr, row))
            out.push_back(std::uint32_t(row));
    }
}
