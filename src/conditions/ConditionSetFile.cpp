// Condition-set files: the four lists in one text file, one entry a line naming its list.
#include "conditions/ConditionSetFile.h"

#include "base/TextCodec.h"
#include "base/WholeFile.h"
#include "conditions/ConditionListFile.h"

#include <QDir>
#include <QStringList>

#include <new>

namespace ConditionSetFile {
namespace {

// The order in which a written file holds the lists: the lists that keep rows, then those that
// drop them, as the window shows them.
constexpr std::array<ConditionList, kConditionListCount> kFileOrder = {
    ConditionList::InAND, ConditionList::InOR, ConditionList::OutAND, ConditionList::OutOR};

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
bool isLineEnd(QChar c) {
    return c == u'\r' || c == u'\n';
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

bool hasLineBreak(QStringView text) {
    return text.contains(u'\r') || text.contains(u'\n');
}

// The field as a line holds it: quoted only where the bare text would read back otherwise.
void appendField(QString& line, QStringView text, bool column) {
    const bool quote = (!text.isEmpty() &&
                        (isBlank(text.front()) || isBlank(text.back()) || text.front() == u'"')) ||
                       (column && (text.contains(u',') || text.contains(u'"')));
    if (!quote) {
        line.append(text);
        return;
    }
    line.append(u'"');
    for (QChar c : text) {
        line.append(c);
        if (c == u'"')
            line.append(u'"');
    }
    line.append(u'"');
}

QString lineNumbersText(const std::vector<qint64>& lineNumbers) {
    // The first few line numbers are named; a long run of them is summed up.
    constexpr size_t kNamed = 10;
    QStringList named;
    for (size_t i = 0; i < lineNumbers.size() && i < kNamed; ++i)
        named.append(QString::number(lineNumbers[i]));
    QString lines = named.join(QStringLiteral(", "));
    if (lineNumbers.size() > kNamed)
        lines += QStringLiteral(" ほか %1 行").arg(lineNumbers.size() - kNamed);
    return lines;
}

} // namespace

QString listKey(ConditionList id) {
    switch (id) {
    case ConditionList::OutAND:
        return QStringLiteral("NOTAND");
    case ConditionList::OutOR:
        return QStringLiteral("NOTOR");
    case ConditionList::InAND:
        return QStringLiteral("AND");
    case ConditionList::InOR:
        return QStringLiteral("OR");
    }
    return {};
}

std::optional<ConditionList> listFromKey(QStringView key) {
    // ASCII letters only: no other character's case folds onto these names.
    for (QChar c : key)
        if (c.unicode() > 0x7F)
            return std::nullopt;
    for (ConditionList id : kConditionListOrder)
        if (key.compare(listKey(id), Qt::CaseInsensitive) == 0)
            return id;
    return std::nullopt;
}

QString commentLine() {
    return QStringLiteral("# Vornel 条件セット (AND / OR / NOTAND / NOTOR,列,語句)");
}

QString unencodableMessage(ConditionList list, qsizetype entryNumber, const ConditionEntry& entry) {
    return QStringLiteral("Error:%1 の %2番目の登録 (列「%3」、語句「%4」) に、条件セットファイル"
                          "に保存できない文字が含まれています｡")
               .arg(conditionListName(list))
               .arg(entryNumber)
               .arg(entry.column, entry.phrase) +
           QStringLiteral("\r\nファイルは保存されませんでした｡");
}

QString saveFailedMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Error:条件セットファイルを保存できませんでした｡\r\n") +
           QDir::toNativeSeparators(path) + QStringLiteral("\r\n") + reason;
}

QString loadFailedMessage(const QString& path, const QString& reason) {
    return QStringLiteral("Error:条件セットファイルを読み込めませんでした｡\r\n") +
           QDir::toNativeSeparators(path) + QStringLiteral("\r\n") + reason;
}

QString badLinesMessage(const QString& path, const std::vector<qint64>& lineNumbers) {
    return QStringLiteral("条件セットファイルの次の行は形式が正しくないため、読み込みませんでした｡"
                          "ほかの行は読み込みました｡\r\n") +
           QDir::toNativeSeparators(path) + QStringLiteral("\r\n行番号: ") +
           lineNumbersText(lineNumbers);
}

QString noEntryMessage(const QString& path, const std::vector<qint64>& lineNumbers) {
    return QStringLiteral("Error:条件セットファイルに読み込める行がありません｡"
                          "条件リストはそのままです｡\r\n") +
           QDir::toNativeSeparators(path) + QStringLiteral("\r\n形式が正しくない行: ") +
           lineNumbersText(lineNumbers);
}

qsizetype ParseResult::entryCount() const {
    qsizetype count = 0;
    for (const std::vector<ConditionEntry>& list : lists)
        count += qsizetype(list.size());
    return count;
}

std::optional<Line> parseLine(QStringView line) {
    const qsizetype comma = line.indexOf(u',');
    if (comma < 0)
        return std::nullopt;
    const std::optional<ConditionList> list = listFromKey(trimmedBlanks(line.first(comma)));
    if (!list)
        return std::nullopt;
    std::optional<ConditionEntry> entry = ConditionListFile::parseLine(line.sliced(comma + 1));
    if (!entry)
        return std::nullopt;
    return Line{*list, std::move(*entry)};
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
        const QStringView content = trimmedBlanks(line);
        if (content.isEmpty() || content.front() == u'#')
            continue; // blank and comment lines hold no entry
        if (std::optional<Line> parsed = parseLine(line)) {
            result.lists[size_t(parsed->list)].push_back(std::move(parsed->entry));
            result.lineNumbers[size_t(parsed->list)].push_back(lineNumber);
        } else {
            result.badLines.push_back(lineNumber);
        }
    }
    return result;
}

ParseResult parse(QByteArrayView bytes) {
    return parse(QStringView(ConditionListFile::decode(bytes)));
}

EncodeResult encode(const Lists& lists, bool utf8) {
    EncodeResult result;
    // The text first: every line must read back as its entry, whatever the encoding.
    QString text = commentLine() + QStringLiteral("\r\n");
    for (ConditionList id : kFileOrder) {
        const std::vector<ConditionEntry>& entries = lists[size_t(id)];
        for (size_t i = 0; i < entries.size(); ++i) {
            const ConditionEntry& e = entries[i];
            QString line = listKey(id) + u',';
            appendField(line, e.column, true);
            line.append(u',');
            appendField(line, e.phrase, false);
            const std::optional<Line> back = parseLine(line);
            if (hasLineBreak(e.column) || hasLineBreak(e.phrase) || !back || back->list != id ||
                back->entry != e) {
                result.error = unencodableMessage(id, qsizetype(i) + 1, e);
                return result;
            }
            text += line + QStringLiteral("\r\n");
        }
    }
    // Code page 932 when every entry reads back from it as it is (not so for a character the
    // code page lacks, nor for one it holds in another form, as 〜 U+301C).
    if (!utf8 && TextCodec::encodeAppend(TextEncoding::Cp932, text, result.bytes) < 0) {
        const ParseResult back = parse(QByteArrayView(result.bytes));
        if (back.badLines.empty() && back.lists == lists)
            return result;
    }
    result.bytes = QByteArray(TextCodec::kUtf8Bom);
    if (TextCodec::encodeAppend(TextEncoding::Utf8, text, result.bytes) >= 0) {
        // A lone surrogate: name the entry that holds it.
        result.bytes.clear();
        for (ConditionList id : kFileOrder) {
            const std::vector<ConditionEntry>& entries = lists[size_t(id)];
            for (size_t i = 0; i < entries.size(); ++i) {
                QByteArray probe;
                if (TextCodec::encodeAppend(TextEncoding::Utf8, entries[i].column, probe) >= 0 ||
                    TextCodec::encodeAppend(TextEncoding::Utf8, entries[i].phrase, probe) >= 0) {
                    result.error = unencodableMessage(id, qsizetype(i) + 1, entries[i]);
                    return result;
                }
            }
        }
        result.error = unencodableMessage(ConditionList::InAND, 0, {});
    }
    return result;
}

SaveResult save(const QString& path, const Lists& lists, bool allowInPlace) {
    const EncodeResult encoded = encode(lists);
    if (!encoded.ok())
        return {encoded.error};
    WholeFile file(path);
    if (allowInPlace)
        file.allowInPlace();
    if (!file.open() || !file.write(encoded.bytes) || !file.commit())
        return {saveFailedMessage(path, file.errorString()), file.inPlaceOnly()};
    return {};
}

LoadResult load(const QString& path) {
    LoadResult result;
    try {
        QByteArray bytes;
        if (const std::optional<QString> reason = ConditionListFile::readBytes(path, bytes)) {
            result.error = loadFailedMessage(path, *reason);
            return result;
        }
        result.parsed = parse(QByteArrayView(bytes));
    } catch (const std::bad_alloc&) {
        result.parsed = {};
        result.error = loadFailedMessage(path, QStringLiteral("メモリーが足りません。"));
        return result;
    }
    if (result.parsed.badLines.empty())
        return result;
    if (result.parsed.entryCount() == 0) {
        // Not a set file (a list file chosen by mistake, another file altogether): the lists
        // are not emptied for it.
        result.error = noEntryMessage(path, result.parsed.badLines);
        result.parsed = {};
        return result;
    }
    result.warning = badLinesMessage(path, result.parsed.badLines);
    return result;
}

} // namespace ConditionSetFile
