// The status bar's row counts, written and read back.
#include "base/CountText.h"

#include <QLocale>

#include <limits>

namespace CountText {

namespace {

QString grouped(qint64 count) {
    // Japanese digit grouping: "," every three digits.
    return QLocale(QLocale::Japanese, QLocale::Japan).toString(count);
}

} // namespace

QString sourceRows(qint64 count) {
    return QStringLiteral("全 %1 行").arg(grouped(count));
}

QString pickedRows(qint64 count) {
    return QStringLiteral("抽出 %1 行").arg(grouped(count));
}

QString noPickedRows() {
    return QStringLiteral("該当する行はありません");
}

std::optional<qint64> parse(QStringView text) {
    std::optional<qint64> value;
    bool inNumber = false;
    bool numberSeen = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            if (!inNumber && numberSeen)
                return std::nullopt; // a second number
            inNumber = numberSeen = true;
            const qint64 digit = c.unicode() - u'0';
            const qint64 current = value.value_or(0);
            if (current > (std::numeric_limits<qint64>::max() - digit) / 10)
                return std::nullopt;
            value = current * 10 + digit;
        } else if (c == u',' && inNumber && i + 1 < text.size() && text[i + 1] >= u'0' &&
                   text[i + 1] <= u'9') {
            continue; // a group separator inside the number
        } else {
            inNumber = false;
        }
    }
    return value;
}

} // namespace CountText
