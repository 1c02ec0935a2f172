// Fuzz target: the list-file reader and writer.
//
// Input: 1 header byte, then the rest.
//   byte 0 bit 7 clear: the rest is a list file's bytes. It is read; the entries read are written
//                       and read again, which must give the same entries.
//   byte 0 bit 7 set:   the rest is entries: column and phrase texts separated by 0xFF (U+FFFF in
//                       UTF-16 mode), bits 0-1 choosing how bytes become text (0, 3: code page
//                       932; 1: UTF-16LE; 2: Latin-1). They are written (code page 932 or UTF-8);
//                       reading the bytes must give the entries back, unless a text holds a lone
//                       surrogate, which writing must refuse.

#include "FuzzSupport.h"
#include "base/TextCodec.h"

#include "conditions/ConditionListFile.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using FuzzSupport::units;

namespace {

QByteArray describe(const std::vector<ConditionEntry>& entries) {
    QByteArray out = QByteArray::number(qsizetype(entries.size())) + " entries";
    for (const ConditionEntry& e : entries)
        out += "\n  column " + units(e.column) + " | phrase " + units(e.phrase);
    return out;
}

// Every text is whole UTF-16 (no lone surrogate), so UTF-8 holds it.
bool allHeld(const std::vector<ConditionEntry>& entries) {
    for (const ConditionEntry& e : entries) {
        for (const QString* t : {&e.column, &e.phrase}) {
            QByteArray bytes;
            if (TextCodec::encodeAppend(TextEncoding::Utf8, *t, bytes) >= 0)
                return false;
        }
    }
    return true;
}

// Writes the entries, reads the bytes back and compares.
void roundTrip(const std::vector<ConditionEntry>& entries) {
    // A line break inside a field cannot come back: the reader takes a line as one entry (and no
    // text box holds one).
    for (const ConditionEntry& e : entries)
        for (const QString* t : {&e.column, &e.phrase})
            if (t->contains(u'\r') || t->contains(u'\n'))
                return;
    const ConditionListFile::EncodeResult encoded = ConditionListFile::encode(entries);
    if (!allHeld(entries)) {
        // Some text cannot be held exactly: writing must refuse rather than change it.
        FUZZ_CHECK(!encoded.ok(), "written although a text changes:\n" + describe(entries));
        FUZZ_CHECK(encoded.bytes.isEmpty(), describe(entries));
        return;
    }
    FUZZ_CHECK(encoded.ok(), "refused:\n" + describe(entries) + "\n" + encoded.error.toUtf8());
    FUZZ_CHECK(encoded.bytes.isEmpty() == entries.empty(), describe(entries));
    FUZZ_CHECK(encoded.bytes.isEmpty() || encoded.bytes.endsWith("\r\n"), describe(entries));
    const ConditionListFile::ParseResult back =
        ConditionListFile::parse(QByteArrayView(encoded.bytes));
    FUZZ_CHECK(back.badLines.empty(), describe(entries));
    FUZZ_CHECK(back.entries == entries, "written:\n" + describe(entries) + "\nread back:\n" +
                                            describe(back.entries) +
                                            "\nbytes: " + encoded.bytes.toHex(' '));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const unsigned char flags = data[0];
    const QByteArrayView rest(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));

    if (!(flags & 0x80)) {
        const ConditionListFile::ParseResult parsed = ConditionListFile::parse(rest);
        const QString text = Cp932::decode(rest);
        // Every line gives one entry or is named, except blank ones.
        const qsizetype lines = text.count(u'\n') + text.count(u'\r') - text.count(u"\r\n") + 1;
        FUZZ_CHECK(qsizetype(parsed.entries.size() + parsed.badLines.size()) <= lines,
                   describe(parsed.entries));
        roundTrip(parsed.entries);
        return 0;
    }

    const std::vector<QString> parts =
        FuzzSupport::textParts(rest, FuzzSupport::encodingFromFlags(flags));
    std::vector<ConditionEntry> entries;
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
        entries.push_back({parts[i], parts[i + 1]});
    roundTrip(entries);
    return 0;
}
