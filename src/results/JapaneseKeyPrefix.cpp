// The first bytes of Japanese sort keys from a table of characters and ICU's number encoding.
#include "results/JapaneseKeyPrefix.h"

#include <unicode/uchar.h>
#include <unicode/ucol.h>
#include <unicode/uset.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cstring>

namespace {

// ICU's primary compression terminators, and the byte that ends the primary weights.
constexpr std::uint8_t kCompressionLow = 0x03;
constexpr std::uint8_t kCompressionHigh = 0xff;
constexpr std::uint8_t kMergeSeparator = 0x02;
constexpr std::uint8_t kLevelSeparator = 0x01;

// The key bytes of primary weights, written one weight after another as ICU writes them: a
// lead byte shared with the weight before is left out when that lead byte is compressible, and
// leaving such a run of weights writes a byte saying whether the next lead byte is lower or
// higher.
class PrimaryWriter {
public:
    explicit PrimaryWriter(std::uint8_t* out) : m_out(out) {}
    int size() const { return m_size; }

    // One weight (or several written as one: the same lead byte throughout), its bytes
    // [lead, rest...], rest without zero bytes.
    void append(const std::uint8_t* bytes, int length, bool compressible) {
        const std::uint8_t lead = bytes[0];
        if (!compressible || lead != m_compressedLead) {
            if (m_compressedLead != 0) {
                if (lead < m_compressedLead) {
                    if (lead > kMergeSeparator)
                        m_out[m_size++] = kCompressionLow;
                } else {
                    m_out[m_size++] = kCompressionHigh;
                }
            }
            m_out[m_size++] = lead;
            m_compressedLead = compressible ? lead : 0;
        }
        for (int i = 1; i < length; ++i)
            m_out[m_size++] = bytes[i];
    }
    // A 32-bit weight whose lead byte is given apart (the rest ends at its first zero byte).
    void appendWeight(std::uint8_t lead, std::uint32_t rest, bool compressible) {
        std::uint8_t bytes[4] = {lead};
        int length = 1;
        for (int shift = 16; shift >= 0; shift -= 8) {
            const auto b = std::uint8_t(rest >> shift);
            if (b == 0)
                break;
            bytes[length++] = b;
        }
        append(bytes, length, compressible);
    }

private:
    std::uint8_t* m_out;
    int m_size = 0;
    std::uint8_t m_compressedLead = 0;
};

// The weights of a digit run in numeric mode, after ICU's: leading zeros dropped, small numbers
// in one weight of two to four bytes, larger ones as an exponent then pairs of digits. The
// digits' lead byte is never compressible. At most 254 digits after the leading zeros.
void appendNumber(PrimaryWriter& w, std::uint8_t lead, const std::uint8_t* digits, int length) {
    while (length > 1 && digits[0] == 0) {
        ++digits;
        --length;
    }
    if (length <= 7) {
        std::int32_t value = 0;
        for (int i = 0; i < length; ++i)
            value = value * 10 + digits[i];
        if (value < 74) {
            w.appendWeight(lead, std::uint32_t(2 + value) << 16, false);
            return;
        }
        value -= 74;
        if (value < 40 * 254) {
            w.appendWeight(
                lead, std::uint32_t(76 + value / 254) << 16 | std::uint32_t(2 + value % 254) << 8,
                false);
            return;
        }
        value -= 40 * 254;
        if (value < 16 * 254 * 254) {
            std::uint32_t rest = std::uint32_t(2 + value % 254);
            value /= 254;
            rest |= std::uint32_t(2 + value % 254) << 8;
            value /= 254;
            rest |= std::uint32_t(116 + value % 254) << 16;
            w.appendWeight(lead, rest, false);
            return;
        }
    }
    // An exponent byte (the number of digit pairs), then the pairs without trailing 00 pairs,
    // three to a weight, the last one less one.
    const int pairs = (length + 1) / 2;
    std::uint32_t rest = std::uint32_t(132 - 4 + pairs) << 16;
    while (digits[length - 1] == 0 && digits[length - 2] == 0)
        length -= 2;
    std::uint32_t pair;
    int pos;
    if (length & 1) {
        pair = digits[0];
        pos = 1;
    } else {
        pair = std::uint32_t(digits[0] * 10 + digits[1]);
        pos = 2;
    }
    pair = 11 + 2 * pair;
    int shift = 8;
    while (pos < length) {
        if (shift == 0) {
            w.appendWeight(lead, rest | pair, false);
            rest = 0;
            shift = 16;
        } else {
            rest |= pair << shift;
            shift -= 8;
        }
        pair = 11 + 2 * std::uint32_t(digits[pos] * 10 + digits[pos + 1]);
        pos += 2;
    }
    w.appendWeight(lead, rest | (pair - 1) << shift, false);
}

int digitValue(char16_t c) {
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'０' && c <= u'９')
        return c - u'０';
    return -1;
}

} // namespace

void JapaneseKeyPrefix::SetClose::operator()(USet* s) const {
    uset_close(s);
}

namespace {

// Adds the code points of an item of a set of strings to `to`: all of them (fromFirst = 0), or
// those from the second on (fromFirst = 1), or only the first (fromFirst = -1).
bool addCharacters(const USet* strings, int32_t item, int fromFirst, USet* to) {
    UChar text[64];
    UChar32 first = 0;
    UChar32 last = 0;
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length =
        uset_getItem(strings, item, &first, &last, text, int32_t(std::size(text)), &status);
    if (U_FAILURE(status))
        return false;
    if (length == 0) {
        uset_addRange(to, first, last);
        return true;
    }
    int index = 0;
    for (int32_t j = 0; j < length; ++index) {
        UChar32 c;
        U16_NEXT(text, j, length, c);
        if (fromFirst == 0 || (fromFirst == 1 && index > 0) || (fromFirst == -1 && index == 0))
            uset_add(to, c);
    }
    return true;
}

} // namespace

const JapaneseKeyPrefix::Sets& JapaneseKeyPrefix::Sets::of(const UCollator* collator) {
    // The same for every collator of the Japanese order: made once, then only read.
    static const Sets sets(collator);
    return sets;
}

JapaneseKeyPrefix::Sets::Sets(const UCollator* collator) {
    UErrorCode status = U_ZERO_ERROR;
    unsafe.reset(uset_openEmpty());
    ucol_getUnsafeSet(collator, unsafe.get(), &status);
    // Contractions begin with their first character; a context (a prefix before a character)
    // changes the characters after its first. Both sets of strings, the first without contexts.
    std::unique_ptr<USet, SetClose> contractions(uset_openEmpty());
    std::unique_ptr<USet, SetClose> withContexts(uset_openEmpty());
    ucol_getContractionsAndExpansions(collator, contractions.get(), nullptr, false, &status);
    ucol_getContractionsAndExpansions(collator, withContexts.get(), nullptr, true, &status);
    if (U_FAILURE(status))
        return;
    context.reset(uset_openEmpty());
    for (int32_t k = 0, n = uset_getItemCount(contractions.get()); k < n; ++k) {
        if (!addCharacters(contractions.get(), k, -1, context.get()))
            return;
    }
    uset_removeAll(withContexts.get(), contractions.get());
    for (int32_t k = 0, n = uset_getItemCount(withContexts.get()); k < n; ++k) {
        if (!addCharacters(withContexts.get(), k, 1, context.get()))
            return;
    }
    uset_freeze(unsafe.get());
    uset_freeze(context.get());
    valid = true;
}

JapaneseKeyPrefix::JapaneseKeyPrefix(const UCollator* collator) : m_collator(collator) {}

JapaneseKeyPrefix::~JapaneseKeyPrefix() = default;

inline const JapaneseKeyPrefix::Entry& JapaneseKeyPrefix::entry(char16_t c) {
    Entry& e = m_table[c];
    if (e.kind == Unknown) [[unlikely]]
        e = makeEntry(c);
    return e;
}

int JapaneseKeyPrefix::keyPrefix(std::u16string_view start, bool complete, int count,
                                 std::uint8_t* out) {
    if (count <= 0 || count > kMaxCount)
        return kRefused;
    prepare();
    if (!m_usable)
        return kRefused;
    // Room for one step past count: a weight with its terminator, or a digit run's weights.
    std::uint8_t bytes[kMaxCount + 4 * kMaxDigits];
    PrimaryWriter w(bytes);
    size_t i = 0;
    while (w.size() < count) {
        if (i == start.size())
            return complete ? kRefused : kNeedsMore; // the weights end, or what is known does
        const Entry& e = entry(start[i]);
        if (e.kind == Plain) {
            w.append(e.bytes, e.length, e.compressible);
            ++i;
            continue;
        }
        if (e.kind != Digit)
            return kRefused;
        std::uint8_t digits[kMaxDigits];
        int length = 0;
        for (; i < start.size(); ++i) {
            const Entry& d = entry(start[i]);
            if (d.kind != Digit)
                break;
            if (length == kMaxDigits)
                return kRefused;
            digits[length++] = d.bytes[0];
        }
        if (i == start.size() && !complete)
            return kNeedsMore; // the run may go on
        appendNumber(w, m_numericLead, digits, length);
    }
    // What follows must leave the weights made so far as they are.
    if (i == start.size() && !complete)
        return kNeedsMore;
    if (i < start.size() && !entry(start[i]).harmlessAfter)
        return kRefused;
    std::memcpy(out, bytes, size_t(count));
    return count;
}

void JapaneseKeyPrefix::prepare() {
    if (m_prepared)
        return;
    m_prepared = true;
    const Sets& sets = Sets::of(m_collator);
    if (!sets.valid)
        return;
    m_unsafe = sets.unsafe.get();
    m_context = sets.context.get();
    // A digit run's lead byte: "0" alone is that byte and 02.
    const char16_t zero = u'0';
    std::uint8_t key[8];
    if (primaryBytes({&zero, 1}, key, int(std::size(key))) != 2 || key[1] != 0x02)
        return;
    m_numericLead = key[0];
    m_table.assign(0x10000, Entry{});
    m_usable = true;
    // A check against ICU itself on texts of the usual kinds (another version of ICU might
    // write its keys otherwise): any difference, and ICU makes every key.
    static constexpr std::u16string_view kProbes[] = {
        u"00000001,2020/07/06,小林翔,ｻﾄｳ ﾀﾛｳ", u"73,74,10233,10234,1042489,1042490,12345600",
        u"123456789012345678901234567890,x",   u"あいうえおアイウエオｱｲｳｴｵかきくけこ",
        u"東京都港区愛宕一丁目二番地",         u"Hello, World! (abc) #1-2",
        u"２０２４年１２月３１日,ＡＢＣ",
    };
    for (const std::u16string_view probe : kProbes) {
        std::uint8_t own[kMaxCount];
        std::uint8_t icu[64];
        const int32_t n = ucol_getSortKey(m_collator, reinterpret_cast<const UChar*>(probe.data()),
                                          int32_t(probe.size()), icu, int32_t(sizeof icu));
        if (keyPrefix(probe, true, kMaxCount, own) != kMaxCount || n < kMaxCount ||
            !std::equal(own, own + kMaxCount, icu)) {
            m_usable = false;
            return;
        }
    }
}

JapaneseKeyPrefix::Entry JapaneseKeyPrefix::makeEntry(char16_t c) {
    Entry e{};
    e.kind = Other;
    if (U16_IS_SURROGATE(c))
        return e;
    // Nothing before it can move, nor join it: the canonical order keeps it where it is, and
    // it is no later part of a contraction.
    const bool settled = u_getCombiningClass(c) == 0 &&
                         u_getIntPropertyValue(c, UCHAR_LEAD_CANONICAL_COMBINING_CLASS) == 0 &&
                         !uset_contains(m_unsafe, c);
    const bool decimal = u_charType(c) == U_DECIMAL_DIGIT_NUMBER;
    const int digit = digitValue(c);
    e.harmlessAfter = settled && (!decimal || digit >= 0);
    if (!settled || uset_contains(m_context, c))
        return e;
    if (decimal) {
        if (digit >= 0) {
            e.kind = Digit;
            e.bytes[0] = std::uint8_t(digit);
        }
        return e;
    }
    // Its weight bytes alone, and twice over: the second time either all of them again or all
    // but the lead byte (compressed).
    std::uint8_t one[8];
    const int length = primaryBytes({&c, 1}, one, int(std::size(one)));
    if (length < 1 || length > 4 || one[0] <= kMergeSeparator)
        return e;
    const char16_t pair[2] = {c, c};
    std::uint8_t two[16];
    const int twice = primaryBytes({pair, 2}, two, int(std::size(two)));
    const bool same = std::equal(one, one + length, two);
    if (same && twice == 2 * length - 1 && std::equal(one + 1, one + length, two + length))
        e.compressible = true;
    else if (same && twice == 2 * length && std::equal(one, one + length, two + length))
        e.compressible = false;
    else
        return e;
    std::copy(one, one + length, e.bytes);
    e.length = std::uint8_t(length);
    e.kind = Plain;
    return e;
}

int JapaneseKeyPrefix::primaryBytes(std::u16string_view text, std::uint8_t* out, int room) const {
    std::uint8_t key[64];
    const int32_t n = ucol_getSortKey(m_collator, reinterpret_cast<const UChar*>(text.data()),
                                      int32_t(text.size()), key, int32_t(sizeof key));
    if (n <= 0 || n > int32_t(sizeof key))
        return -1;
    const auto end = std::find(key, key + n, kLevelSeparator);
    const int length = int(end - key);
    if (end == key + n || length > room)
        return -1;
    std::copy(key, end, out);
    return length;
}
