#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

struct UCollator;
struct USet;

// The first bytes of a text's Japanese sort key, made without running the collation: ICU's own
// bytes, byte for byte. At the start of a key ICU writes the primary weights of the text, one
// character after another; for most characters that is a fixed run of bytes (read once from ICU,
// from the key of the character alone), joined to the one before by ICU's primary compression,
// and a run of digits is one number (numeric mode), encoded as ICU encodes numbers.
//
// Whatever this does not model gives no prefix, and the caller asks ICU: a character that
// depends on its neighbours (contractions, the long vowel mark and iteration marks after kana,
// combining marks, anything the canonical order could move), one that is ignorable or has no
// fixed bytes of its own, a digit of another script, a surrogate, a digit run longer than
// kMaxDigits, and a text whose primary weights end before the bytes asked for.
//
// One object per thread, as its collator; the table of characters is filled as they are met.
class JapaneseKeyPrefix {
public:
    // The most key bytes one call makes.
    static constexpr int kMaxCount = 16;
    // The longest digit run read as one number here.
    static constexpr int kMaxDigits = 40;

    explicit JapaneseKeyPrefix(const UCollator* collator);
    ~JapaneseKeyPrefix();
    JapaneseKeyPrefix(const JapaneseKeyPrefix&) = delete;
    JapaneseKeyPrefix& operator=(const JapaneseKeyPrefix&) = delete;

    // What keyPrefix gives when it makes no bytes: they cannot be made here, or not without
    // more of the text.
    static constexpr int kRefused = -1;
    static constexpr int kNeedsMore = -2;

    // The first count bytes (count <= kMaxCount) of the key of a text that starts with `start`
    // (all of it when `complete`), into out, and count; or kRefused, or kNeedsMore.
    int keyPrefix(std::u16string_view start, bool complete, int count, std::uint8_t* out);

private:
    enum Kind : std::uint8_t { Unknown, Plain, Digit, Other };
    struct Entry {
        std::uint8_t bytes[4]; // the character's primary weight bytes, as ICU writes them
        Kind kind;
        std::uint8_t length; // of bytes
        bool compressible;   // its lead byte takes part in primary compression
        bool harmlessAfter;  // cannot change the weights of the text before it
    };
    struct SetClose {
        void operator()(USet* s) const;
    };
    // The characters ICU treats apart, from the collation's data.
    struct Sets {
        explicit Sets(const UCollator* collator);
        static const Sets& of(const UCollator* collator);
        std::unique_ptr<USet, SetClose> unsafe;  // may change the weights before them
        std::unique_ptr<USet, SetClose> context; // begin a contraction, or follow a context
        bool valid = false;
    };

    const Entry& entry(char16_t c);
    Entry makeEntry(char16_t c);
    void prepare();
    int primaryBytes(std::u16string_view text, std::uint8_t* out, int room) const;

    const UCollator* m_collator;
    std::vector<Entry> m_table; // by code unit, filled on demand
    const USet* m_unsafe = nullptr;
    const USet* m_context = nullptr;
    std::uint8_t m_numericLead = 0; // the lead byte of every digit run's weights
    bool m_prepared = false;
    bool m_usable = false;
};
