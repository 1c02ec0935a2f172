#include "results/ResultFile.h"

#include "base/InParallel.h"
#include "base/TextCodec.h"
#include "results/ResultListModel.h"

#include "base/WholeFile.h"

#include <QFileDevice>

#include <algorithm>
#include <cstring>
#include <vector>

namespace ResultFile {
namespace {

// Rows are gathered into pieces of about this size; while one piece is written, a helper thread
// gathers the next (after a sort the rows lie all over the store, and the file system and the
// memory reads then take about as long as each other).
constexpr qsizetype kPieceBytes = 4 << 20;
constexpr size_t kPrefetchAhead = 16;
constexpr qint64 kLookupRows = 4096;

struct Piece {
    qint64 begin = 0; // first row of the piece
    qint64 end = 0;   // one past its last row
    QByteArray bytes;
    std::vector<QByteArrayView> rows;
};

// Gathers rows from piece.begin on until about kPieceBytes are together or the rows end.
void gather(const ResultListModel& model, Piece& piece) {
    piece.bytes.resize(0);
    const qint64 n = model.count();
    qint64 pos = piece.begin;
    while (pos < n && piece.bytes.size() < kPieceBytes) {
        const qint64 e = std::min(n, pos + kLookupRows);
        piece.rows.resize(size_t(e - pos));
        model.rowBytes(pos, e, piece.rows.data());
        const qsizetype base = piece.bytes.size();
        qsizetype size = base;
        for (const QByteArrayView r : piece.rows)
            size += r.size() + 2;
        piece.bytes.resize(size);
        char* const d = piece.bytes.data();
        qsizetype at = base;
        for (size_t k = 0; k < piece.rows.size(); ++k) {
            if (k + kPrefetchAhead < piece.rows.size())
                __builtin_prefetch(piece.rows[k + kPrefetchAhead].data());
            const QByteArrayView r = piece.rows[k];
            if (!r.isEmpty())
                std::memcpy(d + at, r.data(), size_t(r.size()));
            at += r.size();
            d[at++] = '\r';
            d[at++] = '\n';
        }
        pos = e;
    }
    piece.end = pos;
}

Error fileError(const WholeFile& file) {
    return {int(file.error()), file.errorString()};
}

} // namespace

bool writeRows(const ResultListModel& model, const std::function<bool(QByteArrayView)>& sink) {
    const RowStore& store = model.store();
    if (model.count() > 0 && store.encoding() == TextEncoding::Utf8 && store.byteOrderMark() &&
        !sink(QByteArrayView(TextCodec::kUtf8Bom, 3)))
        return false;
    Piece current;
    Piece following;
    gather(model, current);
    while (current.begin < current.end) {
        following.begin = current.end;
        following.end = following.begin;
        bool written = false;
        inParallel([&] { written = sink(current.bytes); },
                   [&] {
                       if (following.begin < model.count())
                           gather(model, following);
                   });
        if (!written)
            return false;
        std::swap(current, following);
    }
    return true;
}

std::optional<Error> save(const QString& path, const ResultListModel& model) {
    WholeFile file(path);
    if (!file.open())
        return fileError(file);
    try {
        if (!writeRows(model, [&file](QByteArrayView bytes) { return file.write(bytes); }))
            return fileError(file);
    } catch (const std::bad_alloc&) {
        file.cancel();
        return Error{OutOfMemory, QStringLiteral("メモリーが足りません。")};
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
    try {
        if (!writeRows(model, [&device](QByteArrayView bytes) {
                return device.write(bytes.data(), bytes.size()) == bytes.size();
            }))
            return deviceError();
    } catch (const std::bad_alloc&) {
        return Error{OutOfMemory, QStringLiteral("メモリーが足りません。")};
    }
    if (file && !file->flush())
        return deviceError();
    return std::nullopt;
}

QString message(const Error& error) {
    return QStringLiteral("エラー番号 = %1\r%2").arg(error.number).arg(error.description);
}

} // namespace ResultFile
