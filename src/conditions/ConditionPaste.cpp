// Pasted lines as condition entries: cutting the text into lines and registering each.
#include "conditions/ConditionPaste.h"

#include "conditions/ConditionListModel.h"

#include <QSet>

namespace ConditionPaste {

namespace {

// So many skipped lines are named one by one; the rest are counted.
constexpr qsizetype kNamedLines = 20;

} // namespace

std::vector<Line> nonEmptyLines(QStringView text) {
    std::vector<Line> lines;
    qsizetype number = 0;
    for (QStringView line : text.tokenize(u'\n')) {
        ++number;
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty())
            lines.push_back({number, line.toString()});
    }
    return lines;
}

bool offersLines(QStringView text) {
    return text.contains(u'\n') && nonEmptyLines(text).size() >= 2;
}

QString question(qsizetype lineCount, const QString& column, ConditionList target) {
    return QStringLiteral(
               "貼り付ける %1 行をそれぞれ条件として追加しますか?\r\n(列 %2、%3 に追加します)")
        .arg(lineCount)
        .arg(column, conditionListName(target));
}

Result registerLines(const ConditionRegistration::Lists& lists, ConditionList target,
                     const QString& column, const std::vector<Line>& lines, qint64 commaCount,
                     const std::function<bool(const QString&)>& confirmMove) {
    Result result;
    if (std::optional<QString> error = ConditionRegistration::checkColumn(column, commaCount)) {
        result.columnError = *error;
        return result;
    }
    QSet<QString> pasted;
    for (const Line& line : lines) {
        if (pasted.contains(line.text)) {
            result.skipped.push_back({line, QStringLiteral("同じ語句が前の行にあります")});
            continue;
        }
        pasted.insert(line.text);
        const ConditionEntry entry{column, line.text};
        const ConditionRegistration::Result one =
            ConditionRegistration::registerEntry(lists, target, entry, commaCount, confirmMove);
        if (one.outcome == ConditionRegistration::Outcome::Registered) {
            ++result.added;
        } else {
            const std::optional<ConditionRegistration::Match> found =
                ConditionRegistration::findDuplicate(lists, entry);
            const QString where = found ? conditionListName(found->list) : QString();
            result.skipped.push_back({line, one.outcome == ConditionRegistration::Outcome::Declined
                                                ? QStringLiteral("%1に登録済みです").arg(where)
                                                : one.error});
        }
    }
    return result;
}

QString skippedMessage(const Result& result, qsizetype lineCount) {
    if (result.skipped.empty())
        return {};
    QString text =
        QStringLiteral("貼り付けた %1 行のうち %2 行を追加し、次の %3 行は追加しませんでした。")
            .arg(lineCount)
            .arg(result.added)
            .arg(qsizetype(result.skipped.size()));
    qsizetype named = 0;
    for (const Skipped& s : result.skipped) {
        if (named++ == kNamedLines) {
            text += QStringLiteral("\r\n(ほか %1 行)")
                        .arg(qsizetype(result.skipped.size()) - kNamedLines);
            break;
        }
        text +=
            QStringLiteral("\r\n%1 行目「%2」: %3").arg(s.line.number).arg(s.line.text, s.reason);
    }
    return text;
}

} // namespace ConditionPaste
