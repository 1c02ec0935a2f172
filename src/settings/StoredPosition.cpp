#include "settings/StoredPosition.h"

#include "settings/mdlIniSet.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace StoredPosition {

std::optional<qint32> parseValue(QStringView text) {
    static const QRegularExpression number(
        QStringLiteral(R"(^[+-]?(?:[0-9]+(?:\.[0-9]*)?|\.[0-9]+)(?:[eE][+-]?[0-9]+)?$)"));
    const QStringView trimmed = text.trimmed();
    if (!number.match(trimmed).hasMatch())
        return std::nullopt;

    bool ok = false;
    const double value = QLocale::c().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;

    // Half to even, whatever the floating-point rounding mode is.
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;

    if (whole < double(std::numeric_limits<qint32>::min()) ||
        whole > double(std::numeric_limits<qint32>::max()))
        return std::nullopt;
    return qint32(whole);
}

Position read(const QString& iniPath) {
    Position position;
    position.top =
        parseValue(mdlIniSet::GetIniString(Section.toString(), TopKey.toString(), iniPath));
    if (!position.top)
        return position;
    position.left =
        parseValue(mdlIniSet::GetIniString(Section.toString(), LeftKey.toString(), iniPath));
    return position;
}

QString write(const QString& iniPath, qint32 top, qint32 left) {
    const QString failed = mdlIniSet::SetIniString(Section.toString(), TopKey.toString(),
                                                   QString::number(top), iniPath);
    if (!failed.isEmpty())
        return failed;
    return mdlIniSet::SetIniString(Section.toString(), LeftKey.toString(), QString::number(left),
                                   iniPath);
}

bool titleBarVisible(const QRect& frame, const QList<QRect>& screens) {
    // 64-bit arithmetic: a hostile stored value puts the frame near the ends of int.
    const qint64 left = frame.x();
    const qint64 right = left + frame.width();
    const qint64 top = frame.y();
    const qint64 bottom = top + TitleBarHeight;
    const qint64 needWidth = std::min<qint64>(GripWidth, std::max(frame.width(), 1));
    for (const QRect& screen : screens) {
        const qint64 width = std::min<qint64>(right, qint64(screen.x()) + screen.width()) -
                             std::max<qint64>(left, screen.x());
        const qint64 height = std::min<qint64>(bottom, qint64(screen.y()) + screen.height()) -
                              std::max<qint64>(top, screen.y());
        if (width >= needWidth && height >= GripHeight)
            return true;
    }
    return false;
}

QPoint placeOn(const QSize& frameSize, const QRect& screen) {
    const int left = screen.x() + std::max(0, (screen.width() - frameSize.width()) / 2);
    const int top = screen.y() + std::max(0, (screen.height() - frameSize.height()) / 2);
    return QPoint(left, top);
}

} // namespace StoredPosition
