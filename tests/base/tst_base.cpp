// The base layer's byte-scanning kernels: every vector kernel against its plain twin on random
// and adversarial bytes at every length and start alignment, and the field cut's variants against
// the plain cut.
#include "base/AsciiRun.h"
#include "base/ByteKernels.h"
#include "base/FieldCut.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>
namespace {

constexpr int kMaxLength = 300;
constexpr int kAlignments = 64;

// Bytes at a chosen distance from a 64-byte boundary, in a heap block of exactly the size asked
// for, so that a kernel reading past the end is caught by the address sanitizer.
template <typename T> class Placed {
public:
    Placed(int align, int n)
        : m_block(
              static_cast<T*>(::operator new(sizeof(T) * size_t(align + n), std::align_val_t(64)))),
          m_align(align), m_n(n) {}
    // Holding a copy of the first values of `from` (at most n of them).
    template <typename C> Placed(int align, int n, const C& from) : Placed(align, n) {
        std::copy(from.begin(), from.end(), data());
    }
    ~Placed() { ::operator delete(m_block, std::align_val_t(64)); }
    Placed(const Placed&) = delete;
    Placed& operator=(const Placed&) = delete;
    T* base() { return m_block; }
    T* data() { return m_block + m_align; }

private:
    T* m_block;
    int m_align;
    int m_n;
};

// The byte mixes: which bytes a text is drawn from.
enum class Mix { Random, Separators, High, Edges };

// n bytes of the mix: for Edges, mostly 'a' with `special` at the ends and around every
// 8/16/32/64-byte boundary; else the start of one of a few texts drawn once.
std::vector<char> makeBytes(Mix mix, int n, char special, QRandomGenerator& random) {
    std::vector<char> bytes(static_cast<size_t>(n));
    if (mix == Mix::Edges) {
        for (int i = 0; i < n; ++i) {
            const int m = i % 64;
            const bool edge = i == 0 || i == n - 1 || m == 7 || m == 8 || m == 15 || m == 16 ||
                              m == 31 || m == 32 || m == 63;
            bytes[size_t(i)] = edge ? special : 'a';
        }
        return bytes;
    }
    constexpr int kTexts = 16;
    static const char separators[] = {'\n', ',', '\r', 'a', 'b', '"', '\x81', '\x40'};
    static std::vector<std::vector<char>> pools[3];
    std::vector<std::vector<char>>& pool = pools[int(mix)];
    if (pool.empty()) {
        QRandomGenerator draw(quint32(int(mix) + 1));
        for (int t = 0; t < kTexts; ++t) {
            std::vector<char> text(kMaxLength);
            for (char& c : text) {
                switch (mix) {
                case Mix::Random:
                    c = char(draw.bounded(256));
                    break;
                case Mix::Separators:
                    c = separators[draw.bounded(int(sizeof separators))];
                    break;
                default:
                    // Mostly bytes of 0x80 and above, a few separators between them.
                    c = draw.bounded(8) == 0 ? separators[draw.bounded(3)]
                                             : char(0x80 + draw.bounded(128));
                    break;
                }
            }
            pool.push_back(std::move(text));
        }
    }
    const std::vector<char>& text = pool[size_t(random.bounded(kTexts))];
    std::copy(text.begin(), text.begin() + n, bytes.begin());
    return bytes;
}

const char* mixName(Mix mix) {
    switch (mix) {
    case Mix::Random:
        return "random";
    case Mix::Separators:
        return "separators";
    case Mix::High:
        return "high";
    case Mix::Edges:
        return "edges";
    }
    return "";
}

constexpr Mix kMixes[] = {Mix::Random, Mix::Separators, Mix::High, Mix::Edges};

// Runs check(mix, alignment, length, random) for every alignment and length, the mixes taking
// turns; stops at the first failure.
bool forEveryCase(const std::function<bool(Mix, int, int, QRandomGenerator&)>& check) {
    QRandomGenerator random(20261209);
    for (int align = 0; align < kAlignments; ++align)
        for (int n = 0; n <= kMaxLength; ++n)
            if (!check(kMixes[(align + n) % std::size(kMixes)], align, n, random))
                return false;
    return true;
}

QString where(Mix mix, int align, int n) {
    return QStringLiteral("%1 bytes, alignment %2, %3").arg(n).arg(align).arg(mixName(mix));
}

bool sameCuts(const ByteKernels::LineCuts& a, const ByteKernels::LineCuts& b) {
    if (a.starts != b.starts || a.lengths != b.lengths || a.bad.size() != b.bad.size())
        return false;
    for (size_t k = 0; k < a.bad.size(); ++k) {
        const auto& x = a.bad[k];
        const auto& y = b.bad[k];
        if (x.before != y.before || x.start != y.start || x.length != y.length ||
            x.commas != y.commas)
            return false;
    }
    return true;
}

// The kernels of a set, one checker each: true when the set's kernel and the plain twin agree.
using Checker = std::function<bool(const ByteKernels::Set&, Mix, int, int, QRandomGenerator&)>;

bool checkCountByte(const ByteKernels::Set& set, Mix mix, int align, int n,
                    QRandomGenerator& random) {
    for (const char c : {'\n', ',', '\xA0'}) {
        const std::vector<char> bytes = makeBytes(mix, n, c, random);
        Placed<char> text(align, n, bytes);
        if (set.countByte(text.data(), size_t(n), c) !=
            ByteKernels::plain().countByte(text.data(), size_t(n), c))
            return false;
    }
    return true;
}

bool checkCutLines(const ByteKernels::Set& set, Mix mix, int align, int n,
                   QRandomGenerator& random) {
    const std::vector<char> bytes = makeBytes(mix, n, random.bounded(2) ? '\n' : ',', random);
    Placed<char> text(align, n, bytes);
    for (const std::size_t want : {std::size_t(0), std::size_t(1), std::size_t(2)}) {
        ByteKernels::LineCuts got;
        ByteKernels::LineCuts expected;
        got.bad.push_back({7, 7, 7, 7}); // appended to what is there
        expected.bad.push_back({7, 7, 7, 7});
        set.cutLines(text.base(), size_t(align), size_t(align + n), want, got);
        ByteKernels::plain().cutLines(text.base(), size_t(align), size_t(align + n), want,
                                      expected);
        if (!sameCuts(got, expected))
            return false;
    }
    return true;
}

// Needles: cut from the text at its start, its end and in between, one that is not there, and
// the empty one.
template <typename T>
std::vector<std::vector<T>> needlesOf(const std::vector<T>& text, QRandomGenerator& random) {
    std::vector<std::vector<T>> needles{{}, {T(0x5A), T(0x5A), T(0x01)}};
    const int n = int(text.size());
    for (const int m : {1, 2, 3, 5, 17}) {
        if (m > n)
            break;
        const int middle = int(random.bounded(n - m + 1));
        for (const int at : {0, n - m, middle})
            needles.emplace_back(text.begin() + at, text.begin() + at + m);
    }
    // First and last units that occur, with something else between them.
    if (n >= 2)
        needles.push_back({text[0], T(0x01), text[size_t(n - 1)]});
    return needles;
}

bool checkFindBytes(const ByteKernels::Set& set, Mix mix, int align, int n,
                    QRandomGenerator& random) {
    const std::vector<char> bytes = makeBytes(mix, n, ',', random);
    Placed<char> text(align, n, bytes);
    for (const std::vector<char>& needle : needlesOf(bytes, random)) {
        const qsizetype m = qsizetype(needle.size());
        if (set.findBytes(text.data(), n, needle.data(), m) !=
            ByteKernels::plain().findBytes(text.data(), n, needle.data(), m))
            return false;
    }
    return true;
}

// Groups of 1 .. kMaxNeedles of the non-empty needles (the same needle twice, and needles that
// share their first bytes, among them) searched at once.
bool checkFindAny(const ByteKernels::Set& set, Mix mix, int align, int n,
                  QRandomGenerator& random) {
    const std::vector<char> bytes = makeBytes(mix, n, ',', random);
    Placed<char> text(align, n, bytes);
    std::vector<std::vector<char>> needles;
    for (std::vector<char>& needle : needlesOf(bytes, random))
        if (!needle.empty())
            needles.push_back(std::move(needle));
    for (int round = 0; round < 8; ++round) {
        const int count = 1 + int(random.bounded(ByteKernels::kMaxNeedles));
        std::vector<const char*> data;
        std::vector<qsizetype> sizes;
        for (int k = 0; k < count; ++k) {
            const std::vector<char>& needle = needles[random.bounded(int(needles.size()))];
            data.push_back(needle.data());
            sizes.push_back(qsizetype(needle.size()));
        }
        int which = -1;
        int expectedWhich = -1;
        const qsizetype at = set.findAny(text.data(), n, data.data(), sizes.data(), count, &which);
        const qsizetype expected = ByteKernels::plain().findAny(
            text.data(), n, data.data(), sizes.data(), count, &expectedWhich);
        if (at != expected || (at >= 0 && which != expectedWhich))
            return false;
    }
    return true;
}

// Code units for the UTF-16 searches: the bytes taken as the low half of units of a few kinds.
std::vector<char16_t> makeUnits(Mix mix, int n, QRandomGenerator& random) {
    const std::vector<char> bytes = makeBytes(mix, n, ',', random);
    std::vector<char16_t> units(static_cast<size_t>(n));
    static const char16_t high[] = {0x0000, 0x3000, 0xFF00, 0x2C00};
    for (int i = 0; i < n; ++i)
        units[size_t(i)] = char16_t(high[random.bounded(mix == Mix::Random ? 4 : 1)] |
                                    static_cast<unsigned char>(bytes[size_t(i)]));
    return units;
}

bool checkFindUnit(const ByteKernels::Set& set, Mix mix, int align, int n,
                   QRandomGenerator& random) {
    const std::vector<char16_t> units = makeUnits(mix, n, random);
    Placed<char16_t> text(align, n, units);
    std::vector<char16_t> probes{u',', u'\n', 0x5A5A};
    if (n > 0)
        probes.push_back(units[size_t(n - 1)]);
    for (const char16_t unit : probes)
        if (set.findUnit(text.data(), n, unit) !=
            ByteKernels::plain().findUnit(text.data(), n, unit))
            return false;
    return true;
}

bool checkFindUnits(const ByteKernels::Set& set, Mix mix, int align, int n,
                    QRandomGenerator& random) {
    const std::vector<char16_t> units = makeUnits(mix, n, random);
    Placed<char16_t> text(align, n, units);
    for (const std::vector<char16_t>& needle : needlesOf(units, random)) {
        const qsizetype m = qsizetype(needle.size());
        if (set.findUnits(text.data(), n, needle.data(), m) !=
            ByteKernels::plain().findUnits(text.data(), n, needle.data(), m))
            return false;
    }
    return true;
}

bool checkCommaPositions(const ByteKernels::Set& set, Mix mix, int align, int n,
                         QRandomGenerator& random) {
    const std::vector<char> bytes = makeBytes(mix, n, ',', random);
    Placed<char> text(align, n, bytes);
    std::vector<qsizetype> got(static_cast<size_t>(n));
    std::vector<qsizetype> expected(static_cast<size_t>(n));
    const qsizetype count = set.commaPositions(text.data(), n, got.data());
    if (count != ByteKernels::plain().commaPositions(text.data(), n, expected.data()))
        return false;
    return std::equal(got.begin(), got.begin() + count, expected.begin());
}

// The masks of every word of the text, whose last word ends where the block ends; quotes and
// the separators are what the mixes put at the edges.
bool checkStructuralMasks(const ByteKernels::Set& set, Mix mix, int align, int n,
                          QRandomGenerator& random) {
    const std::vector<char> bytes = makeBytes(mix, n, "\",\n"[n % 3], random);
    Placed<char> text(align, n, bytes);
    const size_t words = (size_t(n) + 63) / 64;
    std::vector<ByteKernels::StructuralMasks> got(words + 1);
    std::vector<ByteKernels::StructuralMasks> expected(words + 1);
    got[words].quotes = expected[words].quotes = 1; // no word written past the last
    set.structuralMasks(text.data(), size_t(n), got.data());
    ByteKernels::plain().structuralMasks(text.data(), size_t(n), expected.data());
    return std::equal(got.begin(), got.end(), expected.begin(), [](const auto& a, const auto& b) {
        return a.quotes == b.quotes && a.commas == b.commas && a.lfs == b.lfs && a.crs == b.crs &&
               a.oddQuotes == b.oddQuotes;
    });
}

// The quoted cut from the start of the text, with a soft end at its end and in its middle, and
// from where a first cut stopped (as its caller goes on).
bool checkCutQuoted(const ByteKernels::Set& set, Mix mix, int align, int n,
                    QRandomGenerator& random) {
    const std::vector<char> bytes = makeBytes(mix, n, "\",\n"[n % 3], random);
    Placed<char> text(align, n, bytes);
    const std::size_t begin = size_t(align);
    const std::size_t end = size_t(align + n);
    for (const std::size_t softEnd : {end, begin + size_t(n / 2)}) {
        for (const std::size_t want : {std::size_t(0), std::size_t(2)}) {
            ByteKernels::LineCuts got;
            ByteKernels::LineCuts expected;
            std::size_t from = begin;
            for (int round = 0; round < 2 && from < end; ++round) {
                bool irregular[2] = {false, false};
                std::size_t lineEnds[2] = {0, 0};
                bool stuck[2] = {false, false};
                const std::size_t next = set.cutQuoted(text.base(), from, softEnd, end, want, got,
                                                       irregular[0], lineEnds[0], stuck[0]);
                if (next != ByteKernels::plain().cutQuoted(text.base(), from, softEnd, end, want,
                                                           expected, irregular[1], lineEnds[1],
                                                           stuck[1]) ||
                    irregular[0] != irregular[1] || lineEnds[0] != lineEnds[1] ||
                    stuck[0] != stuck[1] || !sameCuts(got, expected))
                    return false;
                // Past a stuck record's first line, or on from the soft end.
                from = stuck[0] ? next + 1 : next;
            }
        }
    }
    return true;
}

bool checkFindEither(const ByteKernels::Set& set, Mix mix, int align, int n,
                     QRandomGenerator& random) {
    const std::vector<char> bytes = makeBytes(mix, n, "\",\n"[n % 3], random);
    Placed<char> text(align, n, bytes);
    static const char pairs[][2] = {{'"', '"'}, {',', ','}, {',', '\n'}, {'\x81', 'a'}};
    for (const auto& pair : pairs) {
        if (set.findEither(text.data(), size_t(n), pair[0], pair[1]) !=
            ByteKernels::plain().findEither(text.data(), size_t(n), pair[0], pair[1]))
            return false;
    }
    return true;
}

// A decoder's loop around the ASCII runs: a byte of 0x80 or above becomes one U+FFFD.
template <bool kWide> qsizetype decodeRuns(const unsigned char* p, qsizetype n, char16_t* out) {
    char16_t* o = out;
    qsizetype i = 0;
    while (i < n) {
        if (p[i] >= 0x80) {
            *o++ = 0xFFFD;
            ++i;
        } else {
            AsciiRun::widen<kWide>(p, n, i, o);
        }
    }
    return o - out;
}

bool checkAsciiRun(const ByteKernels::Set& set, Mix mix, int align, int n,
                   QRandomGenerator& random) {
    if (!set.wide)
        return true;
    const std::vector<char> bytes = makeBytes(mix, n, '\xC0', random);
    Placed<unsigned char> text(align, n, bytes);
    Placed<char16_t> wideOut(0, n); // room for n units and no more
    std::vector<char16_t> plainOut(static_cast<size_t>(n));
    const qsizetype wideUnits = decodeRuns<true>(text.data(), n, wideOut.data());
    const qsizetype plainUnits = decodeRuns<false>(text.data(), n, plainOut.data());
    return wideUnits == plainUnits &&
           std::equal(plainOut.begin(), plainOut.begin() + plainUnits, wideOut.data());
}

struct Kernel {
    const char* name;
    Checker check;
    // The set's function for it (sets share functions: each is tested once).
    std::function<const void*(const ByteKernels::Set&)> function;
};

template <typename F> const void* address(F f) {
    return reinterpret_cast<const void*>(f);
}

const std::vector<Kernel>& kernelCheckers() {
    static const std::vector<Kernel> kernels{
        {"countByte", checkCountByte,
         [](const ByteKernels::Set& s) { return address(s.countByte); }},
        {"cutLines", checkCutLines, [](const ByteKernels::Set& s) { return address(s.cutLines); }},
        {"findBytes", checkFindBytes,
         [](const ByteKernels::Set& s) { return address(s.findBytes); }},
        {"findAny", checkFindAny, [](const ByteKernels::Set& s) { return address(s.findAny); }},
        {"findUnit", checkFindUnit, [](const ByteKernels::Set& s) { return address(s.findUnit); }},
        {"findUnits", checkFindUnits,
         [](const ByteKernels::Set& s) { return address(s.findUnits); }},
        {"commaPositions", checkCommaPositions,
         [](const ByteKernels::Set& s) { return address(s.commaPositions); }},
        {"structuralMasks", checkStructuralMasks,
         [](const ByteKernels::Set& s) { return address(s.structuralMasks); }},
        {"findEither", checkFindEither,
         [](const ByteKernels::Set& s) { return address(s.findEither); }},
        {"cutQuoted", checkCutQuoted,
         [](const ByteKernels::Set& s) { return address(s.cutQuoted); }},
        // The decoders' loops: one wide form for every wide set.
        {"widenAscii", checkAsciiRun,
         [](const ByteKernels::Set& s) {
             return s.wide ? address(&AsciiRun::widen<true>) : nullptr;
         }},
    };
    return kernels;
}

} // namespace

class tst_base : public QObject {
    Q_OBJECT

private slots:
    void kernelMatchesPlainTwin_data();
    void kernelMatchesPlainTwin();
    void plainTwinsAreSimple_data();
    void plainTwinsAreSimple();
    void plainStructuralMasks_data();
    void plainStructuralMasks();
    void activeSetFollowsEnvironment();
    void fieldCutMatchesPlainCut_data();
    void fieldCutMatchesPlainCut();
};

void tst_base::kernelMatchesPlainTwin_data() {
    QTest::addColumn<int>("set");
    QTest::addColumn<int>("kernel");
    // Every function of every set this processor runs that is not a plain twin, once.
    const std::vector<const ByteKernels::Set*> sets = ByteKernels::available();
    for (size_t k = 0; k < kernelCheckers().size(); ++k) {
        const Kernel& kernel = kernelCheckers()[k];
        std::vector<const void*> seen{kernel.function(ByteKernels::plain()), nullptr};
        for (size_t s = 1; s < sets.size(); ++s) {
            const void* f = kernel.function(*sets[s]);
            if (std::find(seen.begin(), seen.end(), f) != seen.end())
                continue;
            seen.push_back(f);
            QTest::addRow("%s %s", kernel.name, sets[s]->name) << int(s) << int(k);
        }
    }
}

void tst_base::kernelMatchesPlainTwin() {
    QFETCH(int, set);
    QFETCH(int, kernel);
    const ByteKernels::Set& kernels = *ByteKernels::available()[size_t(set)];
    const Checker& check = kernelCheckers()[size_t(kernel)].check;
    QString failed;
    forEveryCase([&](Mix mix, int align, int n, QRandomGenerator& random) {
        if (check(kernels, mix, align, n, random))
            return true;
        failed = where(mix, align, n);
        return false;
    });
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
}

// The twins themselves, on texts whose answers are written out.
void tst_base::plainTwinsAreSimple_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("needle");
    QTest::addColumn<int>("found");
    QTest::addColumn<int>("lineFeeds");
    QTest::addColumn<QList<qsizetype>>("commas");
    QTest::newRow("empty") << QByteArray() << QByteArray() << 0 << 0 << QList<qsizetype>{};
    QTest::newRow("needle at the end")
        << QByteArray("a,b\nc,d") << QByteArray(",d") << 5 << 1 << QList<qsizetype>{1, 5};
    QTest::newRow("needle longer than text")
        << QByteArray("ab") << QByteArray("abc") << -1 << 0 << QList<qsizetype>{};
    QTest::newRow("high bytes") << QByteArray("\x82\xA0,\x82\xA0\n\n") << QByteArray("\xA0\n") << 4
                                << 2 << QList<qsizetype>{2};
}

void tst_base::plainTwinsAreSimple() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, needle);
    QFETCH(int, found);
    QFETCH(int, lineFeeds);
    QFETCH(QList<qsizetype>, commas);
    const ByteKernels::Set& plain = ByteKernels::plain();
    QCOMPARE(plain.findBytes(text.data(), text.size(), needle.data(), needle.size()), found);
    if (!needle.isEmpty()) { // behind a needle that is not there
        const char* needles[2] = {"\x7F\x7F\x7F", needle.data()};
        const qsizetype sizes[2] = {3, needle.size()};
        int which = -1;
        QCOMPARE(plain.findAny(text.data(), text.size(), needles, sizes, 2, &which), found);
        QCOMPARE(which, found >= 0 ? 1 : -1);
    }
    QCOMPARE(plain.countByte(text.data(), size_t(text.size()), '\n'), size_t(lineFeeds));
    std::vector<qsizetype> ends(size_t(text.size()));
    ends.resize(size_t(plain.commaPositions(text.data(), text.size(), ends.data())));
    QCOMPARE(QList<qsizetype>(ends.begin(), ends.end()), commas);
}

// The plain structural masks on texts whose masks are written out: bits past the end are
// clear, except that the odd-quotes mask carries the parity of the whole text on.
void tst_base::plainStructuralMasks_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<quint64>("quotes");
    QTest::addColumn<quint64>("commas");
    QTest::addColumn<quint64>("lfs");
    QTest::addColumn<quint64>("crs");
    QTest::addColumn<quint64>("oddQuotes");
    QTest::newRow("empty") << QByteArray() << 0ull << 0ull << 0ull << 0ull << 0ull;
    QTest::newRow("quoted comma") << QByteArray("\"a,b\",c\r\n") << 0b10001ull << 0b100100ull
                                  << 0b100000000ull << 0b10000000ull << 0b1111ull;
    QTest::newRow("open to the end")
        << QByteArray("x,\"\n") << 0b100ull << 0b10ull << 0b1000ull << 0ull << ~0b11ull;
    QTest::newRow("doubled quote")
        << QByteArray("\"\"\"\"") << 0b1111ull << 0ull << 0ull << 0ull << 0b101ull;
    QByteArray full(64, 'a');
    full[0] = '"';
    full[63] = '"';
    QTest::newRow("64 bytes") << full << (1ull | 1ull << 63) << 0ull << 0ull << 0ull
                              << ~(1ull << 63);
}

void tst_base::plainStructuralMasks() {
    QFETCH(QByteArray, text);
    QFETCH(quint64, quotes);
    QFETCH(quint64, commas);
    QFETCH(quint64, lfs);
    QFETCH(quint64, crs);
    QFETCH(quint64, oddQuotes);
    ByteKernels::StructuralMasks m{};
    ByteKernels::plain().structuralMasks(text.data(), size_t(text.size()), &m);
    QCOMPARE(m.quotes, quotes);
    QCOMPARE(m.commas, commas);
    QCOMPARE(m.lfs, lfs);
    QCOMPARE(m.crs, crs);
    QCOMPARE(m.oddQuotes, oddQuotes);
}

// VORNEL_PLAIN_KERNELS=1 (as the ThreadSanitizer script's second run sets it) forces the plain
// twins; otherwise the best set the processor can run is chosen.
void tst_base::activeSetFollowsEnvironment() {
    const QByteArray forced = qgetenv("VORNEL_PLAIN_KERNELS");
#if defined(VORNEL_PLAIN_KERNELS)
    const bool plain = true;
#else
    const bool plain = !forced.isEmpty() && forced != "0";
#endif
    const ByteKernels::Set* expected =
        plain ? &ByteKernels::plain() : ByteKernels::available().back();
    QCOMPARE(&ByteKernels::active(), expected);
    // The field cut follows the same choice.
    QCOMPARE(FieldCut::active() == FieldCut::available().front().cut, plain);
}

void tst_base::fieldCutMatchesPlainCut_data() {
    QTest::addColumn<int>("variant");
    for (size_t v = 0; v < FieldCut::available().size(); ++v)
        QTest::addRow("%s", FieldCut::available()[v].name) << int(v);
}

// Every variant of the field cut against the plain cut of the whole row (every comma), on rows of
// every length and alignment: asked for a few commas at a time, resumed where it stopped, it
// must find the same commas; every field asked for, in any order, must be the bytes between
// them, and a field past the last one nothing.
void tst_base::fieldCutMatchesPlainCut() {
    QFETCH(int, variant);
    const FieldCut::Kernel cut = FieldCut::available()[size_t(variant)].cut;
    QString failed;
    forEveryCase([&](Mix mix, int align, int n, QRandomGenerator& random) {
        const std::vector<char> bytes = makeBytes(mix, n, ',', random);
        Placed<char> text(align, n, bytes);
        std::vector<qsizetype> all(size_t(n) + 1);
        all.resize(size_t(ByteKernels::plain().commaPositions(text.data(), n, all.data())));
        const qsizetype total = qsizetype(all.size());

        std::vector<qsizetype> ends(all.size() + 4);
        qsizetype have = 0;
        for (qsizetype want = 0; have == want && want <= total;) {
            want = std::min(total + 1, want + 1 + qsizetype(random.bounded(4)));
            const qsizetype from = have == 0 ? 0 : ends[size_t(have) - 1] + 1;
            have = cut(text.data(), n, from, ends.data(), have, want);
            if (have != std::min(want, total) ||
                !std::equal(ends.begin(), ends.begin() + have, all.begin())) {
                failed = where(mix, align, n) + QStringLiteral(", %1 commas asked").arg(want);
                return false;
            }
        }

        FieldCut fields(cut);
        fields.reset(QByteArrayView(text.data(), n));
        for (int k = 0; k < 4; ++k) {
            const qsizetype index = qsizetype(random.bounded(int(total) + 3));
            const qsizetype begin = index == 0       ? 0
                                    : index <= total ? all[size_t(index) - 1] + 1
                                                     : -1;
            const qsizetype end = index < total ? all[size_t(index)] : n;
            const QByteArrayView got = fields.field(index);
            const bool same = begin < 0
                                  ? got.isNull()
                                  : got.data() == text.data() + begin && got.size() == end - begin;
            if (!same) {
                failed = where(mix, align, n) + QStringLiteral(", field %1").arg(index);
                return false;
            }
        }
        return true;
    });
    QVERIFY2(failed.isEmpty(), qPrintable(failed));
}

QTEST_GUILESS_MAIN(tst_base)
#include "tst_base.moc"
