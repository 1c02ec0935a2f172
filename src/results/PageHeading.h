#pragma once

// The heading at the top of every printed page of the result rows: the data file's name at the
// left, the day it was printed ("2024/01/05") in the middle and the page number ("1 / 3") at the
// right.

#include <QDate>
#include <QString>

struct PageHeading {
    // The data file's name without its folders; empty when no file is named.
    QString fileName;
    // The day of printing as "yyyy/MM/dd".
    QString date;

    static PageHeading make(const QString& dataFilePath, QDate printed);

    // "page / pages", as "1 / 3".
    static QString pageNumber(qint64 page, qint64 pages);
};
