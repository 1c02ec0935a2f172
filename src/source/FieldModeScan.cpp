// The field mode judged piece by piece: QuotedFields::detect's walk, resumable.
#include "source/FieldModeScan.h"

#include "source/QuotedFields.h"

#include <algorithm>
#include <cstring>

void FieldModeScan::feed(QByteArrayView bytes) {
    if (settled() || bytes.isEmpty())
        return;
    if (m_tail.isEmpty()) {
        // Judged where they lie: only the bytes whose verdict waits for the next piece are copied.
        const std::size_t n = std::size_t(bytes.size());
        const std::size_t keep = judge(bytes.data(), n, false);
        if (!settled() && keep < n)
            m_tail = QByteArray(bytes.data() + keep, qsizetype(n - keep));
        return;
    }
    m_tail.append(bytes);
    judge(false);
}

FieldMode FieldModeScan::result() {
    if (!settled())
        judge(true);
    return m_good > m_bad ? FieldMode::Quoted : FieldMode::Plain;
}

void FieldModeScan::judge(bool endOfFile) {
    const std::size_t n = std::size_t(m_tail.size());
    const std::size_t keep = judge(m_tail.constData(), n, endOfFile);
    if (settled())
        m_tail = QByteArray();
    else if (keep >= n)
        m_tail.clear();
    else if (keep > 0)
        m_tail.remove(0, qsizetype(keep));
}

std::size_t FieldModeScan::judge(const char* const d, const std::size_t n, bool endOfFile) {
    const auto lineEnd = [d, n](std::size_t from) -> const char* {
        return from < n ? static_cast<const char*>(std::memchr(d + from, '\n', n - from)) : nullptr;
    };
    std::size_t pos = 0;
    // Where the bytes kept for the next piece begin (n: none are kept).
    std::size_t keep = n;
    if (m_skipLine) {
        const char* lf = lineEnd(0);
        m_skipLine = !lf && !endOfFile;
        pos = lf ? std::size_t(lf - d) + 1 : n;
    }
    while (pos < n && !settled()) {
        const void* q = std::memchr(d + pos, '"', n - pos);
        if (!q)
            break;
        const std::size_t at = std::size_t(static_cast<const char*>(q) - d);
        const char before = at > 0 ? d[at - 1] : m_before;
        if (before != ',' && before != '\n') {
            pos = at + 1; // a quote inside a field: an ordinary character
            continue;
        }
        // Past the closing quote, as QuotedFields does it, noting where the bytes run out.
        const std::size_t limit = at + 2 + QuotedFields::kMaxQuotedBytes;
        const std::size_t stop = std::min(n, limit);
        std::size_t i = at + 1;
        bool closed = false;
        bool short_ = false;
        for (;;) {
            const void* next = i < stop ? std::memchr(d + i, '"', stop - i) : nullptr;
            if (!next) {
                short_ = stop < limit && !endOfFile;
                break;
            }
            i = std::size_t(static_cast<const char*>(next) - d) + 1;
            if (i < n && d[i] == '"') {
                ++i; // "" is one quote
                continue;
            }
            short_ = i >= n && !endOfFile; // a second quote could follow
            closed = true;
            break;
        }
        if (!short_ && closed && i + 1 >= n && !endOfFile && (i == n || d[i] == '\r'))
            short_ = true; // what follows the closing quote is not here yet
        if (short_) {
            keep = at;
            break;
        }
        if (!closed) {
            ++m_bad;
            const char* lf = lineEnd(at);
            if (!lf && !endOfFile)
                m_skipLine = true;
            pos = lf ? std::size_t(lf - d) + 1 : n;
            continue;
        }
        if (i == n || d[i] == ',' || d[i] == '\n' ||
            (d[i] == '\r' && i + 1 < n && d[i + 1] == '\n'))
            ++m_good;
        else
            ++m_bad;
        pos = i;
    }
    if (!settled() && keep > 0)
        m_before = d[keep - 1]; // the byte before those judged next
    return keep;
}
