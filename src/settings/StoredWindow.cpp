// The window's size, maximised state and column widths in the settings file.
#include "settings/StoredWindow.h"

#include "settings/StoredPosition.h"
#include "settings/mdlIniSet.h"

#include <QStringList>

#include <algorithm>

namespace StoredWindow {

namespace {

QString value(QStringView key, const QString& iniPath) {
    return mdlIniSet::GetIniString(Section.toString(), key.toString(), iniPath);
}

} // namespace

Window read(const QString& iniPath) {
    Window window;
    if (iniPath.isEmpty())
        return window;
    const std::optional<qint32> width = StoredPosition::parseValue(value(WidthKey, iniPath));
    const std::optional<qint32> height = StoredPosition::parseValue(value(HeightKey, iniPath));
    if (width && height && *width > 0 && *height > 0)
        window.size = QSize(*width, *height);
    window.maximized = value(MaximizedKey, iniPath).trimmed() == u"1";
    const QString columns = value(ColumnsKey, iniPath);
    if (!columns.isEmpty()) {
        for (const QString& part : columns.split(u',')) {
            const std::optional<qint32> twips = StoredPosition::parseValue(part.trimmed());
            if (!twips || *twips < 0) {
                window.columns.clear();
                break;
            }
            window.columns.append(*twips);
        }
    }
    return window;
}

QString write(const QString& iniPath, const Window& window) {
    const QString section = Section.toString();
    QString failed;
    const auto set = [&](QStringView key, const QString& text) {
        const QString reason = mdlIniSet::SetIniString(section, key.toString(), text, iniPath);
        if (failed.isEmpty())
            failed = reason;
    };
    if (window.size) {
        set(WidthKey, QString::number(window.size->width()));
        set(HeightKey, QString::number(window.size->height()));
    }
    set(MaximizedKey, window.maximized ? QStringLiteral("1") : QStringLiteral("0"));
    QStringList columns;
    for (const int twips : window.columns)
        columns.append(QString::number(twips));
    set(ColumnsKey, columns.join(u','));
    return failed;
}

QSize fitted(const QSize& stored, const QSize& minimum, const QSize& screen) {
    const int width = std::max(minimum.width(), std::min(stored.width(), screen.width()));
    const int height = std::max(minimum.height(), std::min(stored.height(), screen.height()));
    return QSize(width, height);
}

} // namespace StoredWindow
