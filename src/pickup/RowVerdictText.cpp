// A row's verdict in words.
#include "pickup/RowVerdictText.h"

namespace RowVerdictText {
namespace {

std::span<const ConditionEntry> entriesOf(const PickupConditions& c, ConditionList list) {
    switch (list) {
    case ConditionList::OutAND:
        return c.outAnd;
    case ConditionList::OutOR:
        return c.outOr;
    case ConditionList::InAND:
        return c.inAnd;
    case ConditionList::InOR:
        break;
    }
    return c.inOr;
}

// "NOT OR の 2 行目「x」"
QString entryName(ConditionList list, std::span<const ConditionEntry> entries, qsizetype i) {
    const QString phrase =
        i >= 0 && size_t(i) < entries.size() ? entries[size_t(i)].phrase : QString();
    return QStringLiteral("%1 の %2 行目「%3」")
        .arg(conditionListName(list))
        .arg(i + 1)
        .arg(phrase);
}

QString listResult(const RowVerdict::ListResult& r) {
    const bool exclusion = r.list == ConditionList::OutAND || r.list == ConditionList::OutOR;
    const bool conjunctive = r.list == ConditionList::OutAND || r.list == ConditionList::InAND;
    QString what;
    if (conjunctive)
        what = r.satisfied ? QStringLiteral("すべて一致") : QStringLiteral("不一致の行あり");
    else
        what = r.satisfied ? QStringLiteral("一致の行あり") : QStringLiteral("どの行にも不一致");
    const QString rule = exclusion ? QStringLiteral("除外") : QStringLiteral("抽出");
    return QStringLiteral("→ %1: %2の条件を%3")
        .arg(what, rule,
             r.satisfied ? QStringLiteral("満たします") : QStringLiteral("満たしません"));
}

} // namespace

QString sentence(const RowVerdict& v, const PickupConditions& c) {
    switch (v.reason) {
    case RowVerdict::Reason::Picked:
        return QStringLiteral("抽出されます");
    case RowVerdict::Reason::RemovedByNotAnd:
        return QStringLiteral("除外されます（NOT AND のすべての行に一致）");
    case RowVerdict::Reason::RemovedByNotOr:
        return QStringLiteral("除外されます（%1に一致）")
            .arg(entryName(ConditionList::OutOR, c.outOr, v.reasonEntry));
    case RowVerdict::Reason::RemovedByBoth:
        return QStringLiteral("除外されます（NOT AND のすべての行と %1に一致）")
            .arg(entryName(ConditionList::OutOR, c.outOr, v.reasonEntry));
    case RowVerdict::Reason::AndEntryFailed:
        return QStringLiteral("抽出されません（%1に不一致）")
            .arg(entryName(ConditionList::InAND, c.inAnd, v.reasonEntry));
    case RowVerdict::Reason::NoOrEntryMatched:
        return QStringLiteral("抽出されません（OR のどの行にも不一致）");
    }
    return {};
}

QString listPart(const RowVerdict::ListResult& r, std::span<const ConditionEntry> entries) {
    QString out = conditionListName(r.list) + QStringLiteral(": ");
    if (r.empty())
        return out + QStringLiteral("（条件なし）");
    for (size_t i = 0; i < r.matched.size(); ++i) {
        const ConditionEntry entry = i < entries.size() ? entries[i] : ConditionEntry{};
        out += QStringLiteral("\n  列 %1 「%2」: %3")
                   .arg(entry.column, entry.phrase,
                        r.matched[i] ? QStringLiteral("一致") : QStringLiteral("不一致"));
    }
    return out + QStringLiteral("\n  ") + listResult(r);
}

QString describe(const RowVerdict& v, const PickupConditions& c, qint64 row, QStringView rowText) {
    QString out = QStringLiteral("データの %1 行目: %2\n").arg(row + 1).arg(rowText);
    for (const ConditionList id : kConditionListOrder)
        out += QStringLiteral("\n") + listPart(v.list(id), entriesOf(c, id));
    return out + QStringLiteral("\n\n判定: ") + sentence(v, c);
}

} // namespace RowVerdictText
