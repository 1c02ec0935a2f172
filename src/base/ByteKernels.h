#pragma once

// The byte-scanning kernels: every vector kernel of the program beside its plain twin (same
// signature, a simple loop), grouped in sets by the instructions they need, and the one place
// that chooses the set the program runs (active()). The plain set is forced by building with
// -DVORNEL_PLAIN_KERNELS=ON or by starting with VORNEL_PLAIN_KERNELS=1 in the environment.
// The ASCII loops of the decoders, which run inside their per-character loops, are in AsciiRun.h;
// they follow the same choice (Set::wide).

#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ByteKernels {

// The lines of one stretch of bytes, as cutLines found them.
struct LineCuts {
    // A line longer than this is never a fitting line (its length would not fit the table).
    static constexpr std::size_t kMaxLength = 0xFFFFFFFFu;
    struct Bad {
        std::size_t before; // fitting lines of the stretch before it
        std::size_t start, length, commas;
    };
    std::vector<std::uint64_t> starts; // fitting lines: offset from the base
    std::vector<std::uint32_t> lengths;
    std::vector<Bad> bad; // every other line
    void clear() {
        starts.clear();
        lengths.clear();
        bad.clear();
    }
};

// Where the bytes that shape a quoted-mode file stand in one word of up to 64 bytes: bit k for
// byte k (bits past the end of the bytes are clear).
struct StructuralMasks {
    // (No initial values: batches of words live on the stack of a cut loop, written before read.)
    std::uint64_t quotes, commas, lfs, crs;
    // Bit k set when the word's bytes 0 .. k hold an odd number of quotes (the prefix XOR of
    // quotes: past the end of the bytes, the parity of the whole word).
    std::uint64_t oddQuotes;
};

struct Set {
    const char* name;
    // Wide word-at-a-time ASCII loops in the decoders (AsciiRun.h).
    bool wide;
    // How many bytes of p[0, n) are c.
    std::size_t (*countByte)(const char* p, std::size_t n, char c);
    // The lines of base[begin, end): begin starts a line; end is just after an LF, or the end of
    // the bytes (then the bytes after the last LF are a line of their own when there are any).
    // A line's length leaves out its LF and a CR before it. Non-empty lines with `want` commas
    // and at most LineCuts::kMaxLength bytes go to out.starts / out.lengths, every other line to
    // out.bad (appended to what out holds).
    void (*cutLines)(const char* base, std::size_t begin, std::size_t end, std::size_t want,
                     LineCuts& out);
    // Leftmost position of needle[0, m) in text[0, n), or -1; the empty needle is found at 0.
    qsizetype (*findBytes)(const char* text, qsizetype n, const char* needle, qsizetype m);
    // The same over UTF-16 code units, for one unit and for a needle.
    qsizetype (*findUnit)(const char16_t* text, qsizetype n, char16_t unit);
    qsizetype (*findUnits)(const char16_t* text, qsizetype n, const char16_t* needle, qsizetype m);
    // Writes the position of every comma of p[0, n) to ends (room for n), in order; returns how
    // many.
    qsizetype (*commaPositions)(const char* p, qsizetype n, qsizetype* ends);
    // The structural masks of p[0, n), a word of 64 bytes at a time: out[w] for the bytes from
    // 64 * w (the last word may be shorter). out has room for (n + 63) / 64 words.
    void (*structuralMasks)(const char* p, std::size_t n, StructuralMasks* out);
    // The first position of p[0, n) holding a or b (which may be the same byte), or n.
    std::size_t (*findEither)(const char* p, std::size_t n, char a, char b);
    // The quoted field mode's records of base[begin, ...) that begin before softEnd, cut 64 bytes
    // at a time with every quote taken as a switch between inside and outside a quoted field
    // (the fast part of QuotedFields::cutRecords). Records go to out as cutLines puts lines; the
    // last may run on past softEnd to end. Returns where the next record begins and adds the LFs
    // before it to lineEnds; sets irregular when a closing quote is followed by anything but a
    // comma, a line end or the end (looked for only while irregular is false). Sets stuck and
    // returns the start of the record when the switch rule fails there: a quote that opens
    // elsewhere than at a field's start or right after a closing quote, or one left open to end
    // or for 64 KiB.
    std::size_t (*cutQuoted)(const char* base, std::size_t begin, std::size_t softEnd,
                             std::size_t end, std::size_t want, LineCuts& out, bool& irregular,
                             std::size_t& lineEnds, bool& stuck);
    // Several needles (count of them, at most kMaxNeedles, none empty) searched in one pass: the
    // leftmost position of text[0, n) where one of them begins, or -1; which is set to the lowest
    // index of a needle found there.
    qsizetype (*findAny)(const char* text, qsizetype n, const char* const* needles,
                         const qsizetype* sizes, int count, int* which);
};

// The most needles findAny takes.
inline constexpr int kMaxNeedles = 16;

// The plain twins.
const Set& plain();
// Every set this processor can run, the plain one first and the one it would choose last.
std::vector<const Set*> available();
// The set the program runs, chosen once: the last of available(), or the plain one when forced.
const Set& active();

} // namespace ByteKernels
