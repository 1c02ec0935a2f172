// The heading at the top of every printed page of the result rows.
#include "results/PageHeading.h"

#include <QDir>
#include <QFileInfo>

PageHeading PageHeading::make(const QString& dataFilePath, QDate printed) {
    PageHeading heading;
    if (!dataFilePath.isEmpty())
        heading.fileName = QFileInfo(QDir::fromNativeSeparators(dataFilePath)).fileName();
    heading.date = printed.toString(QStringLiteral("yyyy/MM/dd"));
    return heading;
}

QString PageHeading::pageNumber(qint64 page, qint64 pages) {
    return QStringLiteral("%1 / %2").arg(page).arg(pages);
}
