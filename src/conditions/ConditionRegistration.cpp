#include "conditions/ConditionRegistration.h"

#include "conditions/ConditionListModel.h"

namespace ConditionRegistration {

bool isDigitsOnly(QStringView column) {
    for (QChar c : column)
        if (c.unicode() < u'0' || c.unicode() > u'9')
            return false;
    return true;
}

bool isWithin(QStringView column, qint64 highest) {
    if (highest < 0)
        return false;
    qsizetype first = 0;
    while (first < column.size() && column[first] == u'0')
        ++first;
    const QStringView significant = column.sliced(first);
    const QString limit = QString::number(highest);
    if (significant.size() != limit.size())
        return significant.size() < limit.size();
    return significant.compare(limit) <= 0; // same length: digit order is number order
}

QString digitsMessage() {
    return QStringLiteral("Error:列指定に入力できるのは、数字のみです｡");
}

QString rangeMessage(qint64 highest) {
    return QStringLiteral("Error:列指定に入力できる値は0-") + QString::number(highest) +
           QStringLiteral("の範囲です｡");
}

QString duplicateQuestion(ConditionList found, ConditionList target) {
    const QString f = conditionListName(found);
    const QString t = conditionListName(target);
    return QStringLiteral("登録しようとした語句は、すでに") + f +
           QStringLiteral("に登録されています。\r\n") + f + QStringLiteral("から削除して") + t +
           QStringLiteral("に登録しますか？");
}

std::optional<QString> checkColumn(QStringView column, qint64 commaCount) {
    if (!isDigitsOnly(column))
        return digitsMessage();
    const qint64 highest = highestColumn(commaCount);
    if (!isWithin(column, highest))
        return rangeMessage(highest);
    return std::nullopt;
}

std::optional<Match> findDuplicate(const Lists& lists, const ConditionEntry& entry) {
    for (ConditionList id : kConditionListOrder) {
        const ConditionListModel* list = lists[size_t(id)];
        if (!list)
            continue;
        const qsizetype n = list->count();
        for (qsizetype row = 0; row < n; ++row)
            if (list->entry(row) == entry)
                return Match{id, row};
    }
    return std::nullopt;
}

Result registerEntry(const Lists& lists, ConditionList target, const ConditionEntry& entry,
                     qint64 commaCount, const std::function<bool(const QString&)>& confirmMove) {
    if (std::optional<QString> error = checkColumn(entry.column, commaCount))
        return {Outcome::Refused, *error};
    if (const std::optional<Match> match = findDuplicate(lists, entry)) {
        if (!confirmMove || !confirmMove(duplicateQuestion(match->list, target)))
            return {Outcome::Declined, {}};
        lists[size_t(match->list)]->removeEntry(match->row);
    }
    lists[size_t(target)]->insertEntry(0, entry);
    return {Outcome::Registered, {}};
}

} // namespace ConditionRegistration
