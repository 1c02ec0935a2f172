// Fuzz target: the pickup's byte search against matching the decoded text.
//
// Input: 2 header bytes, then the phrase and one or more rows separated by 0xFF (a byte that
// neither code page 932 nor UTF-8 uses). LF bytes in a row are dropped (a row never holds one).
//   byte 0  bit 0: the file's encoding (0: code page 932, 1: UTF-8)
//           bits 1-2: the list the one entry is in (AND, OR, NOT AND, NOT OR)
//           bit 3: take the phrase from the first row instead (from byte 1 % its length, the
//                  phrase part's first byte % 16 bytes long), so that it is found
//           bit 4: add a second entry with the same phrase on column 0 (two byte cursors)
//           bits 5-7: the matching switches (ignore width, kana, case)
//   byte 1  bits 0-3: the entry's column (% (commas + 2)); bits 4-7: used by bit 3
//
// The rows that hold the first row's comma count go into a row store. Properties: for every row,
// the engine picks it exactly when the entry's phrase, taken to the file's match form, matches
// the row's decoded subject (column 0 the row's text, column n its nth comma-cut field) by the
// phrase matcher (with the switches: the matcher compiled with them, on the subject folded by
// TextFold); and ByteSearch::find agrees with a naive search of the phrase's bytes.

#include "FuzzSupport.h"

#include "base/TextCodec.h"
#include "conditions/ConditionEntry.h"
#include "pickup/ByteSearch.h"
#include "pickup/PhraseMatcher.h"
#include "pickup/PickupEngine.h"
#include "pickup/TextFold.h"
#include "source/RowStore.h"

#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

QString subjectOf(const QString& row, int column) {
    if (column == 0)
        return row;
    return row.split(u',').value(column - 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2 || size > 4096)
        return 0;
    const unsigned char flags = data[0];
    const unsigned char columnByte = data[1];
    const TextEncoding encoding = (flags & 1) ? TextEncoding::Utf8 : TextEncoding::Cp932;
    const auto parts = FuzzSupport::splitBytes(
        QByteArrayView(reinterpret_cast<const char*>(data) + 2, qsizetype(size - 2)));
    if (parts.size() < 2)
        return 0;

    std::vector<QByteArray> rows;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        QByteArray row = parts[i].toByteArray();
        row.replace('\n', QByteArray());
        rows.push_back(row);
    }
    const int commaCount = int(rows.front().count(','));
    QByteArray phraseBytes = parts[0].toByteArray();
    if (flags & 8) {
        const QByteArray& first = rows.front();
        if (!first.isEmpty()) {
            const qsizetype from = qsizetype(columnByte >> 4) % first.size();
            const qsizetype length =
                phraseBytes.isEmpty() ? 1 : qsizetype(std::uint8_t(phraseBytes[0]) % 16);
            phraseBytes = first.mid(from, length);
        }
    }
    const QString phrase = TextCodec::decode(encoding, phraseBytes);

    RowStore store;
    store.reset(commaCount, encoding);
    for (const QByteArray& row : rows)
        if (row.count(',') == commaCount)
            store.appendLine(QByteArrayView(row));

    const int column = (columnByte & 15) % (commaCount + 2);
    std::vector<ConditionEntry> entries{{QString::number(column), phrase}};
    if (flags & 16)
        entries.push_back({QStringLiteral("0"), phrase});
    PickupConditions conditions;
    const int list = (flags >> 1) & 3;
    const std::span<const ConditionEntry> span(entries);
    (list == 0   ? conditions.inAnd
     : list == 1 ? conditions.inOr
     : list == 2 ? conditions.outAnd
                 : conditions.outOr) = span;

    const MatchOptions options{(flags & 32) != 0, (flags & 64) != 0, (flags & 128) != 0};
    const std::optional<PhraseMatcher> matcher =
        PhraseMatcher::compile(TextCodec::matchForm(encoding, phrase), options);
    const std::optional<PickupEngine> engine =
        PickupEngine::compile(conditions, commaCount, nullptr, encoding, options);
    FUZZ_CHECK(bool(matcher) == bool(engine), FuzzSupport::units(phrase));
    if (!engine)
        return 0;

    std::vector<std::uint32_t> picked;
    engine->pickRange(store, 0, store.rowCount(), picked);
    std::vector<std::uint32_t> expected;
    for (qint64 r = 0; r < store.rowCount(); ++r) {
        const QString text = store.rowText(r);
        const QString folded = TextFold::fold(text, options);
        const bool first = matcher->matches(TextFold::fold(subjectOf(text, column), options));
        const bool second = (flags & 16) ? matcher->matches(folded) : first;
        const bool all = first && second;
        const bool any = first || second;
        const bool pick = list == 0 ? all : list == 1 ? any : list == 2 ? !all : !any;
        if (pick)
            expected.push_back(std::uint32_t(r));
    }
    if (picked != expected) {
        QByteArray detail = "phrase " + FuzzSupport::units(phrase) + " column " +
                            QByteArray::number(column) + " list " + QByteArray::number(list) +
                            "\npicked:";
        for (const std::uint32_t r : picked)
            detail += ' ' + QByteArray::number(r);
        detail += "\nexpected:";
        for (const std::uint32_t r : expected)
            detail += ' ' + QByteArray::number(r);
        FuzzSupport::fail("the engine picks what matching the decoded text picks", detail);
    }

    for (const QByteArray& row : rows) {
        const qsizetype found = ByteSearch::find(row.constData(), row.size(),
                                                 phraseBytes.constData(), phraseBytes.size());
        FUZZ_CHECK(found == row.indexOf(phraseBytes), phraseBytes.toHex());
    }
    return 0;
}
