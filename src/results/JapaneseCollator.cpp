// The Japanese collation: ICU's "ja" collator and its sort keys read piece by piece.
#include "results/JapaneseCollator.h"

#include "results/JapaneseKeyPrefix.h"

#include <unicode/ucol.h>
#include <unicode/uiter.h>

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

namespace {

// Reads a text's sort key from its start, one piece after another.
class KeyReader {
public:
    KeyReader(const UCollator* collator, std::u16string_view text) : m_collator(collator) {
        uiter_setString(&m_it, reinterpret_cast<const UChar*>(text.data()),
                        std::int32_t(text.size()));
    }
    // The next count bytes into out; how many there were (fewer: the key has ended).
    int next(std::uint8_t* out, int count) {
        if (m_failed)
            return 0;
        UErrorCode status = U_ZERO_ERROR;
        const int got = ucol_nextSortKeyPart(m_collator, &m_it, m_state, out, count, &status);
        m_failed = U_FAILURE(status);
        return m_failed ? 0 : got;
    }
    // Passes over count bytes; false when the key ended before them.
    bool skip(int count) {
        std::uint8_t scratch[256];
        while (count > 0) {
            const int piece = std::min(count, int(sizeof scratch));
            if (next(scratch, piece) < piece)
                return false;
            count -= piece;
        }
        return true;
    }

private:
    const UCollator* m_collator;
    UCharIterator m_it;
    std::uint32_t m_state[2] = {0, 0};
    bool m_failed = false;
};

// A text read for ICU straight from its bytes, decoded as far as it is read: the collation
// iterator looks only at the first few characters for the key's first bytes. A prefix of the
// decoded text is the decoded prefix of the bytes, so what ICU sees is the whole text's start;
// asking for the length or the end decodes the rest.
class LazyText {
public:
    LazyText(TextEncoding encoding, QByteArrayView bytes) : m_encoding(encoding), m_bytes(bytes) {
        uiter_setString(&m_it, nullptr, 0); // a valid iterator, then our own functions
        m_it.context = this;
        m_it.length = -1; // not known yet
        m_it.getIndex = getIndex;
        m_it.move = move;
        m_it.hasNext = hasNext;
        m_it.hasPrevious = hasPrevious;
        m_it.current = current;
        m_it.next = next;
        m_it.previous = previous;
        m_it.getState = getState;
        m_it.setState = setState;
    }
    UCharIterator* iterator() { return &m_it; }

private:
    static LazyText& self(UCharIterator* it) {
        return *static_cast<LazyText*>(const_cast<void*>(it->context));
    }

    // At least n units decoded, or all of them; false when the text is shorter than n.
    bool have(std::int32_t n) { return n <= m_size || decodeMore(n); }
    bool decodeMore(std::int32_t n) {
        // A text never has more code units than bytes.
        const qsizetype most = m_bytes.size();
        while (m_size < n && !m_complete) {
            const qsizetype want =
                std::min(most, std::max<qsizetype>(kSmall, qsizetype(m_size) * 2));
            char16_t* out = m_small;
            if (want > kSmall) {
                m_large.resize(size_t(want));
                out = m_large.data();
            }
            const qsizetype got = TextCodec::decodePrefix(m_encoding, m_bytes, out, want);
            m_data = out;
            m_size = std::int32_t(got);
            m_complete = got < want || want >= most;
        }
        return m_size >= n;
    }
    std::int32_t length() {
        have(std::numeric_limits<std::int32_t>::max());
        return m_size;
    }

    static int32_t getIndex(UCharIterator* it, UCharIteratorOrigin origin) {
        LazyText& t = self(it);
        switch (origin) {
        case UITER_START:
        case UITER_ZERO:
            return 0;
        case UITER_CURRENT:
            return t.m_index;
        case UITER_LIMIT:
        case UITER_LENGTH:
            return t.length();
        }
        return 0;
    }
    static int32_t move(UCharIterator* it, int32_t delta, UCharIteratorOrigin origin) {
        LazyText& t = self(it);
        std::int64_t to = delta;
        if (origin == UITER_CURRENT)
            to += t.m_index;
        else if (origin == UITER_LIMIT || origin == UITER_LENGTH)
            to += t.length();
        if (to < 0)
            to = 0;
        if (!t.have(std::int32_t(std::min<std::int64_t>(to, INT32_MAX))))
            to = std::int64_t(t.m_size);
        t.m_index = std::int32_t(to);
        return t.m_index;
    }
    static UBool hasNext(UCharIterator* it) {
        LazyText& t = self(it);
        return t.have(t.m_index + 1);
    }
    static UBool hasPrevious(UCharIterator* it) { return self(it).m_index > 0; }
    static UChar32 current(UCharIterator* it) {
        LazyText& t = self(it);
        return t.have(t.m_index + 1) ? UChar32(t.m_data[t.m_index]) : U_SENTINEL;
    }
    static UChar32 next(UCharIterator* it) {
        LazyText& t = self(it);
        return t.have(t.m_index + 1) ? UChar32(t.m_data[t.m_index++]) : U_SENTINEL;
    }
    static UChar32 previous(UCharIterator* it) {
        LazyText& t = self(it);
        return t.m_index > 0 ? UChar32(t.m_data[--t.m_index]) : U_SENTINEL;
    }
    static uint32_t getState(const UCharIterator* it) {
        return uint32_t(static_cast<const LazyText*>(it->context)->m_index);
    }
    static void setState(UCharIterator* it, uint32_t state, UErrorCode* status) {
        if (U_FAILURE(*status))
            return;
        LazyText& t = self(it);
        if (state > uint32_t(INT32_MAX) || !t.have(std::int32_t(state)))
            *status = U_INDEX_OUTOFBOUNDS_ERROR;
        else
            t.m_index = std::int32_t(state);
    }

    static constexpr qsizetype kSmall = 64;
    TextEncoding m_encoding;
    QByteArrayView m_bytes;
    char16_t m_small[kSmall];
    std::vector<char16_t> m_large; // a text whose key needs more of it
    const char16_t* m_data = m_small;
    std::int32_t m_size = 0; // units decoded
    bool m_complete = false;
    std::int32_t m_index = 0;
    UCharIterator m_it;
};

// How much of a text is decoded for a key prefix from the table: at first, and at most.
constexpr qsizetype kStartUnits = 20;
constexpr qsizetype kMoreUnits = 64;

} // namespace

void JapaneseCollator::Close::operator()(UCollator* c) const {
    ucol_close(c);
}

JapaneseCollator::JapaneseCollator(KeyPrefixes prefixes) {
    UErrorCode status = U_ZERO_ERROR;
    UCollator* c = ucol_open("ja", &status);
    if (U_FAILURE(status) || c == nullptr)
        return;
    m_collator.reset(c);
    // The same attributes as QCollator's (Japanese, case sensitive, numeric mode).
    const std::pair<UColAttribute, UColAttributeValue> attributes[] = {
        {UCOL_NORMALIZATION_MODE, UCOL_ON},
        {UCOL_STRENGTH, UCOL_DEFAULT_STRENGTH},
        {UCOL_NUMERIC_COLLATION, UCOL_ON},
        {UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE},
    };
    for (const auto& [attribute, value] : attributes) {
        status = U_ZERO_ERROR;
        ucol_setAttribute(c, attribute, value, &status);
    }
    if (prefixes == KeyPrefixes::FromTable)
        m_prefix = std::make_unique<JapaneseKeyPrefix>(c);
}

JapaneseCollator::~JapaneseCollator() = default;

int JapaneseCollator::keyBytes(std::u16string_view text, int from, int count,
                               std::uint8_t* out) const {
    if (!m_collator || count <= 0)
        return 0;
    // The key is made from its start each time; the bytes before `from` are passed over.
    KeyReader reader(m_collator.get(), text);
    if (!reader.skip(from))
        return 0;
    return reader.next(out, count);
}

int JapaneseCollator::keyPrefix(TextEncoding encoding, QByteArrayView bytes, int count,
                                std::uint8_t* out) const {
    if (!m_collator || count <= 0)
        return 0;
    if (m_prefix && count <= JapaneseKeyPrefix::kMaxCount) {
        // The text's first units are nearly always enough for the first bytes; if not, more.
        for (const qsizetype units : {kStartUnits, kMoreUnits}) {
            char16_t start[kMoreUnits];
            const qsizetype n = TextCodec::decodePrefix(encoding, bytes, start, units);
            const bool complete = n < units || bytes.size() <= units;
            const int got =
                m_prefix->keyPrefix(std::u16string_view(start, size_t(n)), complete, count, out);
            if (got >= 0)
                return got;
            if (got != JapaneseKeyPrefix::kNeedsMore || complete)
                break;
        }
    }
    LazyText text(encoding, bytes);
    std::uint32_t state[2] = {0, 0};
    UErrorCode status = U_ZERO_ERROR;
    const int got =
        ucol_nextSortKeyPart(m_collator.get(), text.iterator(), state, out, count, &status);
    return U_FAILURE(status) ? 0 : got;
}

void JapaneseCollator::restOfKey(std::u16string_view text, int from,
                                 std::vector<std::uint8_t>& out) const {
    if (!m_collator)
        return;
    KeyReader reader(m_collator.get(), text);
    if (!reader.skip(from))
        return;
    constexpr int kPiece = 256;
    for (;;) {
        const size_t old = out.size();
        out.resize(old + kPiece);
        const int got = reader.next(out.data() + old, kPiece);
        out.resize(old + size_t(got));
        if (got < kPiece)
            return;
    }
}
