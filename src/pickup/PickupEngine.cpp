// Compiling the four lists into entries, choosing what leads the scan, and the verdict of a row.
#include "pickup/PickupEngine.h"

#include "base/ByteKernels.h"
#include "pickup/ByteSearch.h"
#include "pickup/PickupEngineScan.h"

#include <algorithm>

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
                                                  int commaCount, PickupCompileError* error,
                                                  TextEncoding encoding, MatchOptions options) {
    PickupEngine engine;
    engine.m_encoding = encoding;
    engine.m_options = options;
    engine.m_foldDecoder = FoldDecoder(encoding, options);
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
    // The columns whose decoded text some entry takes: each decoded once per row, in its own slot.
    std::vector<int> slotColumns;
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
                matcher = PhraseMatcher::compile(TextCodec::matchForm(encoding, ce.phrase), options,
                                                 &patternError);
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
            Entry entry{*column, std::move(*matcher), {}, -1};
            entry.matchesAll =
                entry.matcher.isPattern() &&
                std::all_of(ce.phrase.begin(), ce.phrase.end(), [](QChar c) { return c == u'*'; });
            entry.folded = options.any();
            if (!entry.matcher.isPattern() && !entry.matcher.needle().empty()) {
                const std::u16string& needle = entry.matcher.needle();
                const QStringView text(needle.data(), qsizetype(needle.size()));
                // Folded: the forms decide where they are every spelling of the phrase
                // (exact); otherwise they only point at the subjects worth testing.
                if (entry.folded) {
                    if (auto forms = ByteSearch::exactFoldedForms(encoding, options, text)) {
                        entry.forms = std::move(*forms);
                        entry.exact = true;
                    } else if ((forms = ByteSearch::foldedForms(encoding, options, text))) {
                        entry.forms = std::move(*forms);
                    }
                } else if (auto forms = ByteSearch::forms(encoding, text)) {
                    entry.forms = std::move(*forms);
                }
                // A field is searched for one or two forms before it is decoded; for more, the
                // searches would cost more than decoding it, and only a byte that begins one of
                // them is looked for.
                if (entry.folded && !entry.exact && entry.column != 0 && entry.forms.size() > 2) {
                    auto firstBytes = std::make_shared<std::array<bool, 256>>();
                    for (const QByteArray& form : entry.forms)
                        (*firstBytes)[std::uint8_t(form[0])] = true;
                    entry.firstBytes = std::move(firstBytes);
                    entry.forms.clear();
                }
                if (entry.folded)
                    std::stable_sort(entry.forms.begin(), entry.forms.end(),
                                     [](const QByteArray& a, const QByteArray& b) {
                                         return a.size() < b.size();
                                     });
            }
            for (const QByteArray& form : entry.forms)
                if (form.contains('"') || form.contains(','))
                    entry.rawSafe = false;
            if (entry.column != 0 && !entry.matchesAll && !entry.byBytes()) {
                const auto at = std::find(slotColumns.begin(), slotColumns.end(), entry.column);
                entry.textSlot = int(at - slotColumns.begin());
                if (at == slotColumns.end())
                    slotColumns.push_back(entry.column);
            }
            if (entry.column == 0 && !entry.forms.empty()) {
                entry.cursor = engine.m_cursors;
                // A folded entry's forms are searched together, in one pass.
                engine.m_cursors += entry.folded ? 1 : int(entry.forms.size());
            }
            src.target->push_back(std::move(entry));
        }
    }
    engine.m_textSlots = int(slotColumns.size());
    engine.leadByColumn();
    return engine;
}

// Where no row-text search leads the scan (nextCandidate), a column's plain phrase may: a row in
// whose bytes none of its forms begins cannot hold one in a field either, so only the rows where
// one begins are candidates (the field's own test then decides). An entry of "AND" leads, or the
// entries of "OR" together when every one of them can (a picked row holds one of them); of the
// two, the one with fewer forms to look for, since a search for many forms at once is slower.
// Only the leading entries are searched through the rows: a search for an entry that is tested on
// few rows would look through all the rows between.
void PickupEngine::leadByColumn() {
    const auto searchable = [](const Entry& e) {
        return !e.forms.empty() && e.forms.size() <= size_t(ByteKernels::kMaxNeedles);
    };
    const auto lead = [this](Entry& e) { e.cursor = m_cursors++; }; // all forms in one search
    if (std::any_of(m_inAnd.begin(), m_inAnd.end(), [](const Entry& e) { return e.cursor >= 0; }))
        return;
    Entry* andLead = nullptr;
    for (Entry& e : m_inAnd)
        if (searchable(e) && (!andLead || e.forms.size() < andLead->forms.size()))
            andLead = &e;
    const bool orCan = !m_inOr.empty() && std::all_of(m_inOr.begin(), m_inOr.end(), searchable);
    size_t orForms = 0;
    for (const Entry& e : m_inOr)
        orForms += e.forms.size();
    // Few forms in one "AND" entry are hard to beat; "OR" leads where "AND" cannot, or where its
    // searches are cheaper.
    const bool orLeads =
        orCan && (!andLead || (andLead->forms.size() > 2 &&
                               orForms <= std::max<size_t>(4, andLead->forms.size())));
    if (orLeads) {
        for (Entry& e : m_inOr)
            if (e.cursor < 0)
                lead(e);
    } else if (andLead) {
        lead(*andLead);
    }
}

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

void PickupEngine::pickRange(const RowStore& store, qint64 begin, qint64 end,
                             std::vector<std::uint32_t>& out) const {
    Scan scan(*this, store, end);
    const bool candidatesArePicked = scan.candidatesArePicked(m_inAnd, m_inOr, m_outAnd, m_outOr);
    for (qint64 row = begin; row < end; ++row) {
        row = scan.nextCandidate(m_inAnd, m_inOr, row);
        // 32 bits hold every row number: a load keeps at most RowStore::kMaxRows rows.
        if (row < end &&
            (candidatesArePicked || verdict(scan, m_inAnd, m_inOr, m_outAnd, m_outOr, row)))
            out.push_back(std::uint32_t(row));
    }
}

RowVerdict PickupEngine::explain(const RowStore& store, qint64 row) const {
    Scan scan(*this, store, row + 1);
    RowVerdict v;
    for (const ConditionList id : kConditionListOrder) {
        RowVerdict::ListResult& result = v.lists[size_t(int(id))];
        result.list = id;
        for (const Entry& e : entries(id))
            result.matched.push_back(scan.test(e, row));
        const bool all =
            std::all_of(result.matched.begin(), result.matched.end(), [](bool m) { return m; });
        const bool any =
            std::any_of(result.matched.begin(), result.matched.end(), [](bool m) { return m; });
        const bool conjunctive = id == ConditionList::OutAND || id == ConditionList::InAND;
        result.satisfied = !result.empty() && (conjunctive ? all : any);
    }
    const RowVerdict::ListResult& outAnd = v.list(ConditionList::OutAND);
    const RowVerdict::ListResult& outOr = v.list(ConditionList::OutOR);
    const RowVerdict::ListResult& inAnd = v.list(ConditionList::InAND);
    const RowVerdict::ListResult& inOr = v.list(ConditionList::InOR);
    // Removed when some exclusion list is used and every used one is satisfied.
    const bool removed = (!outAnd.empty() || !outOr.empty()) &&
                         (outAnd.empty() || outAnd.satisfied) && (outOr.empty() || outOr.satisfied);
    if (removed) {
        if (outOr.empty()) {
            v.reason = RowVerdict::Reason::RemovedByNotAnd;
        } else {
            v.reason = outAnd.empty() ? RowVerdict::Reason::RemovedByNotOr
                                      : RowVerdict::Reason::RemovedByBoth;
            v.reasonEntry = outOr.first(true);
        }
    } else if (!inAnd.empty() && !inAnd.satisfied) {
        v.reason = RowVerdict::Reason::AndEntryFailed;
        v.reasonEntry = inAnd.first(false);
    } else if (!inOr.empty() && !inOr.satisfied) {
        v.reason = RowVerdict::Reason::NoOrEntryMatched;
    } else {
        v.reason = RowVerdict::Reason::Picked;
    }
    return v;
}
