// Where the inclusion lists match in a displayed result row.
#include "pickup/MatchSpans.h"

#include "pickup/TextFold.h"

#include <algorithm>

namespace {

// A subject: its text and, for each of its code units, the record text's units it stands for
// ([first, second); a doubled quote's '"' stands for both). An empty origin means the subject is
// the record text's [offset, offset + text.size()).
struct Subject {
    QString text;
    std::vector<std::pair<qsizetype, qsizetype>> origin;
    qsizetype offset = 0;
    // The record text's units for the subject's [begin, end): from the first unit's to the last
    // one's, so a match over field texts takes in the quotes between them.
    std::pair<qsizetype, qsizetype> inRecord(qsizetype begin, qsizetype end) const {
        if (origin.empty())
            return {offset + begin, offset + end};
        return {origin[size_t(begin)].first, origin[size_t(end - 1)].second};
    }
};

// The fields of a record text: [begin, end) of each, cut at every comma (plain) or by the quoted
// rule (a field that begins with '"' runs to its closing '"', "" inside it being one '"').
std::vector<std::pair<qsizetype, qsizetype>> cutFields(QStringView text, FieldMode mode) {
    std::vector<std::pair<qsizetype, qsizetype>> fields;
    const qsizetype n = text.size();
    qsizetype i = 0;
    for (;;) {
        const qsizetype begin = i;
        if (mode == FieldMode::Quoted && i < n && text[i] == u'"') {
            ++i;
            for (;;) {
                while (i < n && text[i] != u'"')
                    ++i;
                if (i >= n)
                    break; // left open: the rest is the field
                ++i;
                if (i < n && text[i] == u'"') {
                    ++i;
                    continue;
                }
                break;
            }
        }
        while (i < n && text[i] != u',')
            ++i;
        fields.emplace_back(begin, i);
        if (i >= n)
            return fields;
        ++i;
    }
}

// A quoted field's text (without its enclosing quotes, "" as '"') with where each unit came from.
void appendFieldText(QStringView record, qsizetype begin, qsizetype end, Subject& out) {
    auto put = [&](qsizetype at, qsizetype width = 1) {
        out.text.append(record[at]);
        out.origin.emplace_back(at, at + width);
    };
    if (begin >= end || record[begin] != u'"') {
        for (qsizetype i = begin; i < end; ++i)
            put(i);
        return;
    }
    qsizetype i = begin + 1;
    while (i < end) {
        if (record[i] != u'"') {
            put(i++);
            continue;
        }
        if (i + 1 < end && record[i + 1] == u'"') {
            put(i, 2);
            i += 2;
            continue;
        }
        for (++i; i < end; ++i) // the closing quote; what follows is text as it stands
            put(i);
    }
}

// Subject for column `column` (0 = the whole row) of the record.
Subject subjectOf(QStringView record, const std::vector<std::pair<qsizetype, qsizetype>>& fields,
                  int column, FieldMode mode) {
    Subject s;
    if (mode == FieldMode::Plain) {
        if (column == 0) {
            s.text = record.toString();
        } else if (size_t(column) <= fields.size()) {
            const auto [begin, end] = fields[size_t(column) - 1];
            s.text = record.sliced(begin, end - begin).toString();
            s.offset = begin;
        }
        return s;
    }
    if (column != 0) {
        if (size_t(column) <= fields.size())
            appendFieldText(record, fields[size_t(column) - 1].first,
                            fields[size_t(column) - 1].second, s);
        return s;
    }
    for (size_t f = 0; f < fields.size(); ++f) {
        if (f > 0) {
            s.text.append(u',');
            s.origin.emplace_back(fields[f - 1].second, fields[f - 1].second + 1); // the comma
        }
        appendFieldText(record, fields[f].first, fields[f].second, s);
    }
    return s;
}

} // namespace

MatchSpans::MatchSpans(PickupEngine engine, FieldMode mode)
    : m_engine(std::move(engine)), m_mode(mode) {}

void MatchSpans::entryMatches(const PhraseMatcher& matcher, QStringView subject,
                              std::vector<std::pair<qsizetype, qsizetype>>& out) {
    if (matcher.isPattern()) {
        if (!subject.isEmpty() && matcher.matches(subject))
            out.emplace_back(0, subject.size());
        return;
    }
    const std::u16string& needle = matcher.needle();
    const qsizetype m = qsizetype(needle.size());
    if (m == 0)
        return;
    const char16_t* const text = reinterpret_cast<const char16_t*>(subject.utf16());
    for (qsizetype from = 0; from + m <= subject.size();) {
        const qsizetype at =
            PhraseMatcher::find(text + from, subject.size() - from, needle.data(), m);
        if (at < 0)
            break;
        out.emplace_back(from + at, from + at + m);
        from += at + 1; // overlapping occurrences too: "aa" in "aaa" marks all three
    }
}

MatchSpanList MatchSpans::spans(QStringView record) const {
    const std::vector<std::pair<qsizetype, qsizetype>> fields = cutFields(record, m_mode);
    // Matched units of the record text.
    std::vector<std::pair<qsizetype, qsizetype>> marked;
    std::vector<std::pair<qsizetype, qsizetype>> found;
    for (const ConditionList list : {ConditionList::InAND, ConditionList::InOR}) {
        for (qsizetype i = 0; i < m_engine.entryCount(list); ++i) {
            const Subject subject =
                subjectOf(record, fields, m_engine.entryColumn(list, i), m_mode);
            found.clear();
            if (m_engine.entryFolded(list, i)) {
                // The phrase was folded: it is looked for in the folded subject, and each match
                // taken back to the units it was folded from.
                std::vector<qsizetype> origin;
                const QString folded =
                    TextFold::fold(subject.text, m_engine.matchOptions(), &origin);
                entryMatches(m_engine.entryMatcher(list, i), folded, found);
                for (auto& [begin, end] : found) {
                    begin = origin[size_t(begin)];
                    end = origin[size_t(end)];
                }
            } else {
                entryMatches(m_engine.entryMatcher(list, i), subject.text, found);
            }
            for (const auto& [begin, end] : found)
                marked.push_back(subject.inRecord(begin, end));
        }
    }
    if (marked.empty())
        return {};
    std::sort(marked.begin(), marked.end());

    // Record text positions to displayed ones: in quoted mode CR LF and LF show as one "↵".
    std::vector<qsizetype> shown(size_t(record.size()) + 1);
    qsizetype d = 0;
    for (qsizetype i = 0; i < record.size(); ++i) {
        shown[size_t(i)] = d;
        const bool crBeforeLf = m_mode == FieldMode::Quoted && record[i] == u'\r' &&
                                i + 1 < record.size() && record[i + 1] == u'\n';
        if (!crBeforeLf)
            ++d;
    }
    shown[size_t(record.size())] = d;

    MatchSpanList out;
    for (const auto& [begin, end] : marked) {
        const qsizetype b = shown[size_t(begin)];
        const qsizetype e = std::max(shown[size_t(end - 1)] + 1, b + 1);
        if (!out.isEmpty() && b <= out.back().begin + out.back().length)
            out.back().length = std::max(out.back().length, e - out.back().begin);
        else
            out.append(MatchSpan{b, e - b});
    }
    return out;
}
