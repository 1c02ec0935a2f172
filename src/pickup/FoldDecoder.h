#pragma once

// Decoding a subject's bytes straight into folded text (TextFold), for matching that ignores
// width, kana or case: the same units as decoding with TextCodec and then folding, in one pass.

#include "base/TextCodec.h"
#include "pickup/MatchOptions.h"

#include <QByteArrayView>

class FoldDecoder {
public:
    FoldDecoder(TextEncoding encoding, MatchOptions options);

    // Writes the folded text of bytes to out, which has room for bytes.size() units (never more
    // are written); returns the number written.
    qsizetype decodeInto(QByteArrayView bytes, char16_t* out) const;

    // Code page 932: every byte and every two-byte sequence decoded and folded, for one set of
    // options (built from the code page's own decoder when a decoder with them is first made;
    // with every switch off none is built, and the text is only decoded).
    struct Cp932Tables;

private:
    TextEncoding m_encoding;
    MatchOptions m_options;
    const Cp932Tables* m_tables = nullptr;
};
