#include "settings/mdlIniSet.h"

#include "base/Cp932.h"

#include "base/WholeFile.h"
#include <QFile>

#include <optional>
#include <vector>

namespace {

QString& iniFilePath() {
    static QString path;
    return path;
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Neither a space, a tab, "=", "[", nor a quote can be the second byte of a two-byte character
// (those are 0x40 and above), so searching the raw bytes for them is safe. "]" can be such a byte,
// so section names are looked at after decoding.
QByteArrayView trimmedBytes(QByteArrayView bytes) {
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes[begin]))
        ++begin;
    while (end > begin && isBlank(bytes[end - 1]))
        --end;
    return bytes.sliced(begin, end - begin);
}

QString trimmedName(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == u' ' || text[begin] == u'\t'))
        ++begin;
    while (end > begin && (text[end - 1] == u' ' || text[end - 1] == u'\t'))
        --end;
    return text.sliced(begin, end - begin).toString();
}

bool sameName(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

// One line of the file: its bytes without the line end, and the line end as it was.
struct Line {
    QByteArrayView content;
    QByteArrayView ending;

    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    QString name;          // section or key name, trimmed
    qsizetype valueAt = 0; // for a key: index of the first byte after "="
};

std::vector<Line> splitLines(const QByteArray& data) {
    std::vector<Line> lines;
    qsizetype pos = 0;
    while (pos < data.size()) {
        qsizetype nl = data.indexOf('\n', pos);
        Line line;
        if (nl < 0) {
            line.content = QByteArrayView(data).sliced(pos);
            pos = data.size();
        } else {
            qsizetype end = nl;
            if (end > pos && data[end - 1] == '\r')
                --end;
            line.content = QByteArrayView(data).sliced(pos, end - pos);
            line.ending = QByteArrayView(data).sliced(end, nl + 1 - end);
            pos = nl + 1;
        }

        const QByteArrayView body = trimmedBytes(line.content);
        if (body.startsWith('[')) {
            const QString text = Cp932::decode(body);
            const qsizetype close = text.indexOf(u']');
            if (close > 0) {
                line.kind = Line::Kind::Section;
                line.name = trimmedName(QStringView(text).sliced(1, close - 1));
            }
        } else {
            const qsizetype eq = line.content.indexOf('=');
            if (eq >= 0) {
                line.kind = Line::Kind::Key;
                line.name = trimmedName(Cp932::decode(line.content.first(eq)));
                line.valueAt = eq + 1;
            }
        }
        lines.push_back(line);
    }
    return lines;
}

// Index of the first line of the matching section's body, and one past its last line.
struct SectionRange {
    size_t header;
    size_t end;
};

std::optional<SectionRange> findSection(const std::vector<Line>& lines, const QString& section) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != Line::Kind::Section || !sameName(lines[i].name, section))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && lines[end].kind != Line::Kind::Section)
            ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> findKey(const std::vector<Line>& lines, SectionRange range,
                              const QString& key) {
    for (size_t i = range.header + 1; i < range.end; ++i) {
        if (lines[i].kind == Line::Kind::Key && sameName(lines[i].name, key))
            return i;
    }
    return std::nullopt;
}

// At most maxBytes bytes of value, never ending inside a two-byte character.
QByteArrayView cutToBytes(QByteArrayView value, qsizetype maxBytes) {
    if (value.size() <= maxBytes)
        return value;
    qsizetype pos = 0;
    while (pos < maxBytes) {
        const qsizetype width =
            (Cp932::isLeadByte(static_cast<unsigned char>(value[pos])) && pos + 1 < value.size())
                ? 2
                : 1;
        if (pos + width > maxBytes)
            break;
        pos += width;
    }
    return value.first(pos);
}

QByteArrayView unquoted(QByteArrayView value) {
    if (value.size() >= 2) {
        const char first = value.front();
        if ((first == '"' || first == '\'') && value.back() == first)
            return value.sliced(1, value.size() - 2);
    }
    return value;
}

} // namespace

namespace mdlIniSet {

QString IniFilePath() {
    return iniFilePath();
}

void SetIniFilePath(const QString& path) {
    iniFilePath() = path;
}

QString GetIniString(const QString& section, const QString& key, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    const std::vector<Line> lines = splitLines(data);

    const auto range = findSection(lines, section);
    if (!range)
        return {};
    const auto at = findKey(lines, *range, key);
    if (!at)
        return {};
    const Line& line = lines[*at];
    const QByteArrayView value = unquoted(trimmedBytes(line.content.sliced(line.valueAt)));
    return Cp932::decode(cutToBytes(value, MaxValueBytes));
}

QString SetIniString(const QString& section, const QString& key, const QString& value,
                     const QString& path) {
    const Cp932::EncodeResult sectionBytes = Cp932::encode(section);
    const Cp932::EncodeResult keyBytes = Cp932::encode(key);
    const Cp932::EncodeResult valueBytes = Cp932::encode(value);
    if (!sectionBytes.ok() || !keyBytes.ok() || !valueBytes.ok())
        return QStringLiteral("設定ファイルに書けない文字が含まれています。");

    QByteArray data;
    {
        QFile file(path);
        if (file.exists()) {
            if (!file.open(QIODevice::ReadOnly)) // never replace a file that could not be read
                return japaneseFileError(file.errorString());
            data = file.readAll();
        }
    }
    const std::vector<Line> lines = splitLines(data);
    const QByteArray newLine = keyBytes.bytes + '=' + valueBytes.bytes + "\r\n";

    // The new text is built from the old lines' own bytes, so everything not changed stays as it
    // was, line ends included.
    QByteArray out;
    out.reserve(data.size() + newLine.size() + sectionBytes.bytes.size() + 4);
    auto appendLine = [&out](const Line& line) {
        out.append(line.content);
        out.append(line.ending);
    };
    // A line that ends the file without a line end gets one before something follows it.
    auto appendLineBeforeMore = [&out](const Line& line) {
        out.append(line.content);
        out.append(line.ending.isEmpty() ? QByteArrayView("\r\n") : line.ending);
    };

    const auto range = findSection(lines, section);
    if (!range) {
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i + 1 == lines.size())
                appendLineBeforeMore(lines[i]);
            else
                appendLine(lines[i]);
        }
        out += '[' + sectionBytes.bytes + "]\r\n" + newLine;
    } else if (const auto at = findKey(lines, *range, key)) {
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i == *at) {
                out.append(lines[i].content.first(lines[i].valueAt));
                out.append(valueBytes.bytes);
                out.append(lines[i].ending);
            } else {
                appendLine(lines[i]);
            }
        }
    } else {
        // A new key goes after the section's last line that is not blank.
        size_t last = range->header;
        for (size_t i = range->header + 1; i < range->end; ++i) {
            if (!trimmedBytes(lines[i].content).isEmpty())
                last = i;
        }
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i == last) {
                appendLineBeforeMore(lines[i]);
                out += newLine;
            } else {
                appendLine(lines[i]);
            }
        }
    }

    // Whole or not at all: after a failure the next start reads the old file.
    WholeFile file(path);
    if (file.open() && file.write(out) && file.commit())
        return {};
    return file.errorString();
}

} // namespace mdlIniSet
