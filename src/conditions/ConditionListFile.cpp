#include "conditions/ConditionListFile.h"

#include "source/FileKind.h"
#include "source/TextCodec.h"

#include "settings/WholeFile.h"
#include <QDir>
#include <QFile>

namespace ConditionListFile {
namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
bool isLineEnd(QChar c) {
    return c == u'\r' || c == u'\n';
}

// Appends text quoted, a double quote inside doubled. Returns the index of the first character
// that code page 932 cannot hold, or -1.
qsizetype appendQuoted(QStringView text, QByteArray& out) {
    out.append('"');
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'"')
            continue;
        const qsizetype bad =
            TextCodec::encodeAppend(TextEncoding::Cp932, text.sliced(start, i - start), out);
        if (bad >= 0)
            return start + bad;
        if (i < text.size())
            out.append("\"\"");
        start = i + 1;
    }
    out.append('"');
    return -1;
}

} // namespace

QString unencodableMessage(qsizetype entryNumber, const ConditionEntry& entry) {
    return QStringLiteral(
               "Error:%1番目の登録 (列「%2」、語句「%3」) に、リストファイルに保存できない"
               "文字が含まれています｡")
               .arg(entryNumber)
               .arg(entry.column, entry.phrase) +
           QStringLiteral("\r\nファイルは保存されませんでした｡");
}

QString saveFailedMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Error:リストファイルを保存できませんでした｡\r\n") +
           QDir::toNativeSeparators(path) + QStringLiteral("\r\n") + reason;
}

QString loadFailedMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Error:リストファイルを読み込めませんでした｡\r\n") +
           QDir::toNativeSeparators(path) + QStringLiteral("\r\n") + reason;
}

QString incompleteLastEntryMessage(const QString& path) {
    return QStringLiteral("リストファイルの最後の登録に語句がないため、その登録は読み込みませんでし"
                          "た｡\r\n") +
           QDir::toNativeSeparators(path);
}

EncodeResult encode(const std::vector<ConditionEntry>& entries) {
    EncodeResult result;
    for (size_t i = 0; i < entries.size(); ++i) {
        const ConditionEntry& e = entries[i];
        bool fits = appendQuoted(e.column, result.bytes) < 0;
        if (fits) {
            result.bytes.append(',');
            fits = appendQuoted(e.phrase, result.bytes) < 0;
        }
        if (!fits) {
            result.bytes.clear();
            result.error = unencodableMessage(qsizetype(i) + 1, e);
            return result;
        }
        result.bytes.append("\r\n");
    }
    return result;
}

std::vector<QString> splitFields(QStringView text) {
    std::vector<QString> fields;
    const qsizetype n = text.size();
    qsizetype i = 0;
    // Consumes the delimiter that ends a field: a comma or one line end (CR LF, CR or LF).
    auto skipDelimiter = [&] {
        if (i >= n)
            return;
        if (text[i] == u',') {
            ++i;
        } else if (text[i] == u'\r') {
            ++i;
            if (i < n && text[i] == u'\n')
                ++i;
        } else if (text[i] == u'\n') {
            ++i;
        }
    };
    while (i < n) {
        while (i < n && isBlank(text[i]))
            ++i;
        if (i < n && text[i] == u'"') {
            QString field;
            ++i;
            while (i < n) {
                if (text[i] == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') { // a doubled quote is one quote
                        field.append(u'"');
                        i += 2;
                        continue;
                    }
                    ++i; // the closing quote
                    break;
                }
                field.append(text[i]);
                ++i;
            }
            // Anything between the closing quote and the delimiter is not part of the field.
            while (i < n && text[i] != u',' && !isLineEnd(text[i]))
                ++i;
            fields.push_back(std::move(field));
        } else {
            const qsizetype start = i;
            while (i < n && text[i] != u',' && !isLineEnd(text[i]))
                ++i;
            qsizetype end = i;
            while (end > start && isBlank(text[end - 1]))
                --end;
            fields.push_back(text.sliced(start, end - start).toString());
        }
        skipDelimiter();
    }
    return fields;
}

ParseResult parse(QStringView text) {
    std::vector<QString> fields = splitFields(text);
    ParseResult result;
    if (fields.size() % 2 != 0) {
        if (!fields.back().isEmpty())
            result.incompleteLastEntry = true;
        fields.pop_back();
    }
    result.entries.reserve(fields.size() / 2);
    for (size_t i = 0; i + 1 < fields.size(); i += 2)
        result.entries.push_back({std::move(fields[i]), std::move(fields[i + 1])});
    return result;
}

QString decode(QByteArrayView bytes) {
    const TextCodec::Detected detected = TextCodec::detect(bytes, true);
    if (detected.byteOrderMark)
        bytes = bytes.sliced(3);
    return TextCodec::decode(detected.encoding, bytes);
}

ParseResult parse(QByteArrayView bytes) {
    return parse(QStringView(decode(bytes)));
}

SaveResult save(const QString& path, const std::vector<ConditionEntry>& entries) {
    const EncodeResult encoded = encode(entries);
    if (!encoded.ok())
        return {encoded.error};
    WholeFile file(path);
    if (!file.open() || !file.write(encoded.bytes) || !file.commit())
        return {saveFailedMessage(path, file.errorString())};
    return {};
}

LoadResult load(const QString& path) {
    LoadResult result;
    if (const QString refused = FileKind::notReadableReason(path); !refused.isEmpty()) {
        result.error = loadFailedMessage(path, refused);
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = loadFailedMessage(path, file.errorString());
        return result;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = loadFailedMessage(path, file.errorString());
        return result;
    }
    file.close();
    ParseResult parsed = parse(QByteArrayView(bytes));
    result.entries = std::move(parsed.entries);
    if (parsed.incompleteLastEntry)
        result.warning = incompleteLastEntryMessage(path);
    return result;
}

} // namespace ConditionListFile
