#pragma once

// One row's fields, cut at its commas only as far as the fields asked for: each byte of the row
// is looked at once however many fields are asked for, in whatever order. The cut is a vector
// kernel (SSE2) beside its plain twin, chosen as the byte-scanning kernels are
// (ByteKernels::active()).

#include <QByteArrayView>

#include <vector>

class FieldCut {
public:
    // Finds the commas of p[from, n) in order and writes their positions to ends[have],
    // ends[have + 1], ... until ends holds `want` of them or the bytes end; returns how many
    // ends holds. ends has room for `want`; `from` is 0 with nothing found yet, else just after
    // ends[have - 1].
    using Kernel = qsizetype (*)(const char* p, qsizetype n, qsizetype from, qsizetype* ends,
                                 qsizetype have, qsizetype want);
    struct Variant {
        const char* name;
        Kernel cut;
    };

    // Every variant this processor can run, the plain twin first and the vector one last.
    static std::vector<Variant> available();
    // The one the program runs: the plain twin when the plain kernels are (ByteKernels::plain()),
    // else the last of available().
    static Kernel active();

    FieldCut() : m_kernel(active()) {}
    explicit FieldCut(Kernel kernel) : m_kernel(kernel) {}

    // Starts on another row (its bytes must stay where they are while its fields are asked for).
    void reset(QByteArrayView row) {
        m_row = row;
        m_count = 0;
        m_done = false;
    }

    // Field `index` (0-based) of the row: the bytes between its commas; nothing for a field
    // past the row's last one.
    QByteArrayView field(qsizetype index) {
        if (!m_done && m_count <= index)
            cutTo(index + 1);
        if (index > m_count)
            return {};
        const qsizetype begin = index == 0 ? 0 : m_ends[size_t(index) - 1] + 1;
        const qsizetype end = index < m_count ? m_ends[size_t(index)] : m_row.size();
        return QByteArrayView(m_row.data() + begin, end - begin);
    }

private:
    void cutTo(qsizetype want);

    Kernel m_kernel;
    QByteArrayView m_row;
    std::vector<qsizetype> m_ends; // the commas found so far
    qsizetype m_count = 0;
    bool m_done = false; // every comma of the row is in m_ends
};
