#pragma once

// How loosely the pickup compares a phrase with its subject: three switches, each on its own, all
// off by default (every code unit counts, as stored lists and scripts have always been run).
struct MatchOptions {
    // Full-width ASCII = ASCII, half-width katakana = katakana (a half-width voiced or
    // semi-voiced mark composed with its letter), the ideographic space = space.
    bool ignoreWidth = false;
    // Hiragana = katakana.
    bool ignoreKana = false;
    // Upper case = lower case, for ASCII and full-width Latin letters.
    bool ignoreCase = false;

    bool any() const { return ignoreWidth || ignoreKana || ignoreCase; }
    // 0 .. 7, one bit per switch (width 1, kana 2, case 4).
    int bits() const { return (ignoreWidth ? 1 : 0) | (ignoreKana ? 2 : 0) | (ignoreCase ? 4 : 0); }
    friend bool operator==(const MatchOptions&, const MatchOptions&) = default;
};
