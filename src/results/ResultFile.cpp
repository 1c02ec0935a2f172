// Save (whole or not at all) and standard output: the result rows written through RowWriter.
#include "results/ResultFile.h"

#include "base/WholeFile.h"
#include "results/RowWriter.h"

#include <QFileDevice>

namespace ResultFile {
namespace {

Error fileError(const WholeFile& file) {
    return {int(file.error()), file.errorString(), file.inPlaceOnly()};
}

} // namespace

std::optional<Error> save(const QString& path, const ResultListModel& model, bool allowInPlace) {
    WholeFile file(path);
    if (allowInPlace)
        file.allowInPlace();
    if (!file.open())
        return fileError(file);
    try {
        if (!RowWriter::write(model, [&file](QByteArrayView bytes) { return file.write(bytes); }))
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
        return Error{number, japaneseFileError(device.errorString())};
    };
    try {
        if (!RowWriter::write(model, [&device](QByteArrayView bytes) {
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
