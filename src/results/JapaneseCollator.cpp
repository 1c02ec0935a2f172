// The Japanese collation: ICU's "ja" collator and its sort keys read piece by piece.
#include "results/JapaneseCollator.h"

#include <unicode/ucol.h>
#include <unicode/uiter.h>

#include <algorithm>
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

} // namespace

void JapaneseCollator::Close::operator()(UCollator* c) const {
    ucol_close(c);
}

JapaneseCollator::JapaneseCollator() {
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
