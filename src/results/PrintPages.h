#pragma once

// How the printed lines of the result rows fill the pages, worked out before anything is painted
// so that every page can say how many pages there are ("1 / 3").
//
// A page holds linesPerPage lines under its heading. The data file's header line, when there is
// one, takes the first headerLines of them on every page; it is left out when it would leave no
// room for a row. The rows follow in order, each line under the last. A row that does not fit on
// what is left of a page, but fits on a page of its own, begins the next page; a row longer than a
// page fills pages in turn.

#include <QtGlobal>

#include <functional>

class PrintPages {
public:
    // linesPerPage below 1 counts as 1.
    PrintPages(qint64 linesPerPage, qint64 headerLines);

    // The header line's lines on every page (0 when it is left out).
    qint64 headerLines() const { return m_headerLines; }
    qint64 linesPerPage() const { return m_linesPerPage; }

    // Places the next row of `lines` printed lines, telling place the page (from 1) and the line on
    // that page (from 0, the header's lines included) of each of its lines in turn.
    void addRow(qint64 lines, const std::function<void(qint64 page, qint64 line)>& place = {});

    // The pages used so far: at least 1, since even an empty list prints one page.
    qint64 pages() const { return m_page; }

private:
    qint64 m_linesPerPage;
    qint64 m_headerLines;
    qint64 m_page = 1;
    qint64 m_line; // the next free line on the current page
};
