#include "results/ResultFile.h"

#include "results/ResultListModel.h"
#include "source/Cp932.h"

#include "settings/WholeFile.h"

#include <QFileDevice>

#include <algorithm>
#include <functional>
#include <thread>
#include <vector>

namespace ResultFile {
namespace {

// Rows are encoded in batches of this many rows; while one batch is written, a helper thread
// encodes the next (writing to the file system costs about as much as encoding).
constexpr qint64 kBatchRows = 32768;
constexpr size_t kPrefetchAhead = 16;
constexpr qsizetype kExcerptUnits = 40;

// The code page 932 bytes of each character, asked of the codec the first time the character
// comes up and remembered for the rest of the save: a result list holds a few thousand different
// characters at most, and one table look-up is much cheaper than a trip through the codec per row.
class CharBytes {
public:
    // Appends the encoding of text to out; returns the index of the first character code page 932
    // cannot hold (out is then unspecified), or -1.
    qsizetype append(QStringView text, QByteArray& out) {
        const qsizetype base = out.size();
        out.resize(base + 2 * text.size());
        char* const start = out.data();
        char* d = start + base;
        const char16_t* p = text.utf16();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = p[i];
            if (c < 0x80) { // ASCII is always itself
                *d++ = char(c);
                continue;
            }
            if (QChar::isSurrogate(c)) // nothing beyond the Basic Multilingual Plane exists here
                return i;
            std::uint32_t& e = m_table[c];
            if (e == kUnknown)
                e = ask(c);
            if (e == kCannot)
                return i;
            if (e >> 16 == 2)
                *d++ = char(e >> 8);
            *d++ = char(e);
        }
        out.resize(d - start);
        return -1;
    }

private:
    static constexpr std::uint32_t kUnknown = 0;
    static constexpr std::uint32_t kCannot = 0xFFFFFFFF;

    // length << 16 | the bytes (the first in bits 8..15 when there are two).
    static std::uint32_t ask(char16_t c) {
        const Cp932::EncodeResult r = Cp932::encode(QStringView(&c, 1));
        if (!r.ok() || r.bytes.isEmpty() || r.bytes.size() > 2)
            return kCannot;
        const auto b0 = std::uint32_t(std::uint8_t(r.bytes[0]));
        if (r.bytes.size() == 1)
            return 1u << 16 | b0;
        return 2u << 16 | b0 << 8 | std::uint32_t(std::uint8_t(r.bytes[1]));
    }

    std::vector<std::uint32_t> m_table = std::vector<std::uint32_t>(0x10000, kUnknown);
};

struct Batch {
    qint64 begin = 0;
    qint64 end = 0;
    qint64 badRow = -1;      // position of a row that cannot be encoded
    qsizetype badIndex = -1; // its first character that cannot be encoded
    // Reused from batch to batch.
    QByteArray bytes;
    CharBytes encoder;
    std::vector<QStringView> texts;
    std::vector<char16_t> staging;
};

void encode(const ResultListModel& model, Batch& batch) {
    batch.bytes.resize(0);
    // After a sort the rows lie all over the store, and reading them one by one while encoding
    // waits on memory for every row. So look them up first in one tight loop and copy them into
    // one contiguous block (the memory reads of many rows overlap), then encode from there.
    std::vector<QStringView>& texts = batch.texts;
    texts.resize(size_t(batch.end - batch.begin));
    model.rowTexts(batch.begin, batch.end, texts.data());
    size_t units = 0;
    for (const QStringView t : texts)
        units += size_t(t.size());
    batch.staging.resize(units);
    char16_t* d = batch.staging.data();
    const size_t n = texts.size();
    for (size_t k = 0; k < n; ++k) {
        if (k + kPrefetchAhead < n) {
            const QStringView ahead = texts[k + kPrefetchAhead];
            for (qsizetype u = 0; u < ahead.size(); u += 32) // one cache line = 32 code units
                __builtin_prefetch(ahead.data() + u);
        }
        const QStringView t = texts[k];
        std::copy(t.utf16(), t.utf16() + t.size(), d);
        texts[k] = QStringView(d, t.size());
        d += t.size();
    }

    for (size_t k = 0; k < n; ++k) {
        const qsizetype bad = batch.encoder.append(texts[k], batch.bytes);
        if (bad >= 0) {
            batch.badRow = batch.begin + qint64(k);
            batch.badIndex = bad;
            return;
        }
        batch.bytes.append("\r\n", 2);
    }
}

Error fileError(const WholeFile& file) {
    return {int(file.error()), file.errorString()};
}

Error unencodable(const ResultListModel& model, const Batch& batch) {
    const QStringView row = model.rowText(batch.badRow);
    const qsizetype bad = batch.badIndex;
    const qsizetype charLength =
        QChar::isHighSurrogate(row[bad].unicode()) && bad + 1 < row.size() ? 2 : 1;
    // A piece of the row around the character, so the user can find it.
    qsizetype from = 0;
    if (row.size() > kExcerptUnits)
        from = std::clamp<qsizetype>(bad - kExcerptUnits / 2, 0, row.size() - kExcerptUnits);
    const qsizetype length = std::min(row.size() - from, kExcerptUnits);
    QString excerpt = row.sliced(from, length).toString();
    if (from > 0)
        excerpt.prepend(u'…');
    if (from + length < row.size())
        excerpt.append(u'…');
    return {UnencodableRow,
            QStringLiteral("%1 行目「%2」の文字「%3」はコードページ 932 (シフトJIS) "
                           "で書けないため、保存しませんでした。")
                .arg(batch.badRow + 1)
                .arg(excerpt, row.sliced(bad, charLength).toString())};
}

// Encodes the rows batch by batch and hands each batch's bytes to put, which returns an error to
// end the writing. While one batch is handed over, a helper thread encodes the next.
std::optional<Error> writeRows(const ResultListModel& model,
                               const std::function<std::optional<Error>(QByteArrayView)>& put) {
    const qint64 n = model.count();
    Batch current;
    current.end = std::min(n, kBatchRows);
    Batch following;
    encode(model, current);
    while (current.begin < current.end) {
        if (current.badRow >= 0)
            return unencodable(model, current);
        following.begin = current.end;
        following.end = std::min(n, following.begin + kBatchRows);
        std::thread helper;
        if (following.begin < following.end)
            helper = std::thread([&] { encode(model, following); });
        std::optional<Error> failed = put(current.bytes);
        if (helper.joinable())
            helper.join();
        if (failed)
            return failed;
        std::swap(current, following);
    }
    return std::nullopt;
}

} // namespace

std::optional<Error> save(const QString& path, const ResultListModel& model) {
    WholeFile file(path);
    if (!file.open())
        return fileError(file);
    const std::optional<Error> failed =
        writeRows(model, [&file](QByteArrayView bytes) -> std::optional<Error> {
            if (file.write(bytes))
                return std::nullopt;
            return fileError(file);
        });
    if (failed) {
        file.cancel();
        return failed;
    }
    if (!file.commit())
        return fileError(file);
    return std::nullopt;
}

std::optional<Error> write(QIODevice& device, const ResultListModel& model) {
    auto* file = qobject_cast<QFileDevice*>(&device);
    const auto deviceError = [&device, file] {
        const int number = file && file->error() != QFileDevice::NoError
                               ? int(file->error())
                               : int(QFileDevice::WriteError);
        return Error{number, device.errorString()};
    };
    std::optional<Error> failed =
        writeRows(model, [&](QByteArrayView bytes) -> std::optional<Error> {
            if (device.write(bytes.data(), bytes.size()) == bytes.size())
                return std::nullopt;
            return deviceError();
        });
    if (!failed && file && !file->flush())
        failed = deviceError();
    return failed;
}

QString message(const Error& error) {
    return QStringLiteral("エラー番号 = %1\r%2").arg(error.number).arg(error.description);
}

} // namespace ResultFile
