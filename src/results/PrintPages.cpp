// How the printed lines of the result rows fill the pages.
#include "results/PrintPages.h"

#include <algorithm>

PrintPages::PrintPages(qint64 linesPerPage, qint64 headerLines)
    : m_linesPerPage(std::max<qint64>(1, linesPerPage)),
      m_headerLines(headerLines > 0 && headerLines < m_linesPerPage ? headerLines : 0),
      m_line(m_headerLines) {}

void PrintPages::addRow(qint64 lines, const std::function<void(qint64, qint64)>& place) {
    const qint64 room = m_linesPerPage - m_headerLines; // the lines under the header
    if (m_line > m_headerLines && m_line + lines > m_linesPerPage && lines <= room) {
        ++m_page;
        m_line = m_headerLines;
    }
    for (qint64 i = 0; i < lines; ++i) {
        if (m_line >= m_linesPerPage) {
            ++m_page;
            m_line = m_headerLines;
        }
        if (place)
            place(m_page, m_line);
        ++m_line;
    }
}
