#pragma once

#include "base/TextCodec.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

struct UCollator;
class JapaneseKeyPrefix;

// The Japanese order of texts, from ICU's "ja" collation: kana in gojūon order with the hiragana,
// katakana and half-width forms of one sound next to each other, kanji in JIS X 0208 order (the
// first level by reading), digit runs compared as numbers ("1丁目" < "2丁目" < "10丁目"). It is set
// up exactly as QCollator(QLocale::Japanese) with numeric mode sets up its ICU collator
// (normalisation on, the locale's own strength, punctuation not ignored), so both order alike.
//
// One object per thread: ICU's collators are not shared between threads here.
class JapaneseCollator {
public:
    // Where keyPrefix takes its bytes from: always ICU, or a table of characters where it can
    // (JapaneseKeyPrefix: the same bytes, several times faster, but the table's start costs a
    // few tens of milliseconds once, worth it for long lists only).
    enum class KeyPrefixes { FromIcu, FromTable };

    explicit JapaneseCollator(KeyPrefixes prefixes = KeyPrefixes::FromIcu);
    ~JapaneseCollator();
    JapaneseCollator(const JapaneseCollator&) = delete;
    JapaneseCollator& operator=(const JapaneseCollator&) = delete;

    // False when ICU has no Japanese collation (the keys are then empty: every text ties).
    bool isValid() const { return m_collator != nullptr; }

    // Bytes [from, from + count) of the text's sort key into out (count bytes of room); returns
    // how many there were, fewer than count when the key ends inside them. Comparing the keys
    // byte by byte (a key that ends sorts before one that goes on) is comparing the texts.
    int keyBytes(std::u16string_view text, int from, int count, std::uint8_t* out) const;

    // The same as keyBytes(text, 0, count, out) for the text that bytes hold in this encoding,
    // decoding only as much of the text as the key's first bytes need.
    int keyPrefix(TextEncoding encoding, QByteArrayView bytes, int count, std::uint8_t* out) const;

    // The ICU collator itself (null when not valid), for what reads its data (JapaneseKeyPrefix).
    const UCollator* icu() const { return m_collator.get(); }

    // The whole key from byte `from` on, appended to out.
    void restOfKey(std::u16string_view text, int from, std::vector<std::uint8_t>& out) const;

private:
    struct Close {
        void operator()(UCollator* c) const;
    };
    std::unique_ptr<UCollator, Close> m_collator;
    std::unique_ptr<JapaneseKeyPrefix> m_prefix; // with KeyPrefixes::FromTable
};
