#pragma once

#include <QtGlobal>

#include <cstdint>
#include <cstring>

// Both decoders take runs of ASCII eight bytes at a time: widens p[i..] into o while eight bytes
// in a row are all below 0x80, and moves i and o on past them.
inline void widenAsciiRun(const unsigned char* p, qsizetype n, qsizetype& i, char16_t*& o) {
    while (i + 8 <= n) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull)
            return;
        for (int k = 0; k < 8; ++k)
            o[k] = p[i + k];
        o += 8;
        i += 8;
    }
}
