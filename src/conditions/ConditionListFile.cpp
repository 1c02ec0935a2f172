#include "conditions/ConditionListFile.h"

#include "base/FileKind.h"
#include "base/TextCodec.h"

#include "base/WholeFile.h"
#include <QDir>
#include <QFile>
#include <QStringList>

#include <new>

namespace ConditionListFile {
namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
bool isLineEnd(QChar c) {
    return c == u'\r' || c == u'\n';
}

// Appends text quoted, a double quote inside doubled. Returns the index of the first character
// that the encoding cannot hold, or -1.
qsizetype appendQuoted(TextEncoding encoding, QStringView text, QByteArray& out) {
    out.append('"');
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'"')
            continue;
        const qsizetype bad = TextCodec::encodeAppend(encoding, text.sliced(start, i - start), out);
        if (bad >= 0)
            return start + bad;
        if (i < text.size())
            out.append("\"\"");
        start = i + 1;
    }
    out.append('"');
    return -1;
}

// The lines of the entries in one encoding; the number (from 1) of the first entry it cannot
// hold, or 0.
qsizetype appendEntries(TextEncoding encoding, const std::vector<ConditionEntry>& entries,
                        QByteArray& out) {
    for (size_t i = 0; i < entries.size(); ++i) {
        const ConditionEntry& e = entries[i];
        if (appendQuoted(encoding, e.column, out) >= 0)
            return qsizetype(i) + 1;
        out.append(',');
        if (appendQuoted(encoding, e.phrase, out) >= 0)
            return qsizetype(i) + 1;
        out.append("\r\n");
    }
    return 0;
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

QString badLinesMessage(const QString& path, const std::vector<qint64>& lineNumbers) {
    // The first few line numbers are named; a long run of them is summed up.
    constexpr size_t kNamed = 10;
    QStringList named;
    for (size_t i = 0; i < lineNumbers.size() && i < kNamed; ++i)
        named.append(QString::number(lineNumbers[i]));
    QString lines = named.join(QStringLiteral(", "));
    if (lineNumbers.size() > kNamed)
        lines += QStringLiteral(" ほか %1 行").arg(lineNumbers.size() - kNamed);
    return QStringLiteral("リストファイルの次の行は形式が正しくないため、読み込みませんでした｡"
                          "ほかの行は読み込みました｡\r\n") +
           QDir::toNativeSeparators(path) + QStringLiteral("\r\n行番号: ") + lines;
}

EncodeResult encode(const std::vector<ConditionEntry>& entries) {
    // Code page 932 when every entry reads back from it as it is (not so for a character the
    // code page lacks, nor for one it holds in another form, as 〜 U+301C).
    EncodeResult result;
    if (appendEntries(TextEncoding::Cp932, entries, result.bytes) == 0 &&
        parse(QByteArrayView(result.bytes)).entries == entries)
        return result;
    result.bytes = QByteArray(TextCodec::kUtf8Bom);
    if (const qsizetype bad = appendEntries(TextEncoding::Utf8, entries, result.bytes); bad > 0) {
        result.bytes.clear();
        result.error = unencodableMessage(bad, entries[size_t(bad - 1)]);
    }
    return result;
}

namespace {

// A quoted text's content: a doubled quote stands for one.
QString unquote(QStringView content) {
    QString text;
    text.reserve(content.size());
    for (qsizetype i = 0; i < content.size(); ++i) {
        text.append(content[i]);
        if (content[i] == u'"' && i + 1 < content.size() && content[i + 1] == u'"')
            ++i;
    }
    return text;
}

QStringView trimmedBlanks(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

} // namespace

std::optional<ConditionEntry> parseLine(QStringView line) {
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n && isBlank(line[i]))
        ++i;
    QString column;
    if (i < n && line[i] == u'"') {
        // Quoted: up to the closing quote, then only blanks before the comma.
        const qsizetype open = ++i;
        while (i < n && !(line[i] == u'"' && !(i + 1 < n && line[i + 1] == u'"')))
            i += line[i] == u'"' ? 2 : 1;
        if (i >= n)
            return std::nullopt; // the quote is never closed
        column = unquote(line.sliced(open, i - open));
        ++i;
        while (i < n && isBlank(line[i]))
            ++i;
        if (i >= n || line[i] != u',')
            return std::nullopt;
    } else {
        const qsizetype comma = line.indexOf(u',', i);
        if (comma < 0)
            return std::nullopt; // one field only
        column = trimmedBlanks(line.sliced(i, comma - i)).toString();
        i = comma;
    }
    // The phrase: the rest of the line.
    const QStringView rest = trimmedBlanks(line.sliced(i + 1));
    if (!rest.startsWith(u'"'))
        return ConditionEntry{std::move(column), rest.toString()};
    if (rest.size() < 2 || !rest.endsWith(u'"'))
        return std::nullopt; // the quote is never closed
    return ConditionEntry{std::move(column), unquote(rest.sliced(1, rest.size() - 2))};
}

ParseResult parse(QStringView text) {
    ParseResult result;
    const qsizetype n = text.size();
    qsizetype start = 0;
    qint64 lineNumber = 0;
    while (start < n) {
        // One line: up to CR LF, CR or LF.
        qsizetype end = start;
        while (end < n && !isLineEnd(text[end]))
            ++end;
        const QStringView line = text.sliced(start, end - start);
        ++lineNumber;
        if (end < n && text[end] == u'\r' && end + 1 < n && text[end + 1] == u'\n')
            ++end;
        start = end + 1;
        if (trimmedBlanks(line).isEmpty())
            continue; // blank lines hold no entry
        if (std::optional<ConditionEntry> entry = parseLine(line))
            result.entries.push_back(std::move(*entry));
        else
            result.badLines.push_back(lineNumber);
    }
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

SaveResult save(const QString& path, const std::vector<ConditionEntry>& entries,
                bool allowInPlace) {
    const EncodeResult encoded = encode(entries);
    if (!encoded.ok())
        return {encoded.error};
    WholeFile file(path);
    if (allowInPlace)
        file.allowInPlace();
    if (!file.open() || !file.write(encoded.bytes) || !file.commit())
        return {saveFailedMessage(path, file.errorString()), file.inPlaceOnly()};
    return {};
}

namespace {

qint64 s_memoryLimit = 0;

} // namespace

std::optional<QString> readBytes(const QString& path, QByteArray& bytes) {
    if (const QString refused = FileKind::notReadableReason(path); !refused.isEmpty())
        return refused;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    if (s_memoryLimit > 0 && file.size() > s_memoryLimit)
        throw std::bad_alloc();
    bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    file.close();
    if (TextCodec::utf16(bytes) != TextCodec::Utf16::None)
        return TextCodec::utf16RefusedText();
    return std::nullopt;
}

namespace {

LoadResult loadFile(const QString& path) {
    LoadResult result;
    QByteArray bytes;
    if (const std::optional<QString> reason = readBytes(path, bytes)) {
        result.error = loadFailedMessage(path, *reason);
        return result;
    }
    ParseResult parsed = parse(QByteArrayView(bytes));
    result.entries = std::move(parsed.entries);
    if (!parsed.badLines.empty())
        result.warning = badLinesMessage(path, parsed.badLines);
    result.badLines = std::move(parsed.badLines);
    return result;
}

} // namespace

void setMemoryLimitForTesting(qint64 bytes) {
    s_memoryLimit = bytes;
}

LoadResult load(const QString& path) {
    try {
        return loadFile(path);
    } catch (const std::bad_alloc&) {
        LoadResult result;
        result.error = loadFailedMessage(path, QStringLiteral("メモリーが足りません。"));
        return result;
    }
}

} // namespace ConditionListFile
