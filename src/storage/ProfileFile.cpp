#include "ProfileFile.h"

#include "storage/AtomicFile.h"
#include "storage/Cp932.h"
#include "storage/Exception.h"
#include "storage/FileFaults.h"
#include "storage/IntegerText.h"
#include "storage/StorageMessages.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>
#include <optional>

namespace {

constexpr qsizetype kMaxValueBytes = 2047;
const QByteArray kLineBreak = QByteArrayLiteral("\r\n");

struct Line
{
    QByteArray content;
    QByteArray end; // the line's own break, kept as it was: CR LF, LF, CR or none
};

QList<Line> splitLines(QByteArrayView bytes)
{
    QList<Line> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        const qsizetype breakLength
            = bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n' ? 2 : 1;
        lines.append({bytes.sliced(start, i - start).toByteArray(),
            bytes.sliced(i, breakLength).toByteArray()});
        i += breakLength - 1;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.append({bytes.sliced(start).toByteArray(), QByteArray()});
    return lines;
}

QByteArray joinLines(const QList<Line> &lines)
{
    QByteArray bytes;
    for (const Line &line : lines)
        bytes += line.content + line.end;
    return bytes;
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimBlanks(QStringView s)
{
    while (!s.isEmpty() && isBlank(s.front()))
        s = s.sliced(1);
    while (!s.isEmpty() && isBlank(s.back()))
        s.chop(1);
    return s;
}

bool isQuoted(QStringView s)
{
    return s.size() >= 2 && (s.front() == u'"' || s.front() == u'\'') && s.back() == s.front();
}

struct ParsedLine
{
    enum Kind { Other, Section, Key } kind = Other;
    QString name;
    QString value;
};

ParsedLine parseLine(QByteArrayView content)
{
    const QString decoded = Cp932::decode(content);
    const QStringView line = trimBlanks(decoded);
    if (line.startsWith(u'[')) {
        const qsizetype close = line.indexOf(u']');
        const QStringView name = close < 0 ? line.sliced(1) : line.sliced(1, close - 1);
        return {ParsedLine::Section, trimBlanks(name).toString(), QString()};
    }
    const qsizetype equals = line.indexOf(u'=');
    if (line.startsWith(u';') || equals < 0)
        return {};
    QStringView value = trimBlanks(line.sliced(equals + 1));
    if (isQuoted(value))
        value = value.sliced(1, value.size() - 2);
    return {ParsedLine::Key, trimBlanks(line.left(equals)).toString(), value.toString()};
}

// Byte tests that rule a line out before it is decoded: blanks are single bytes, and "[" at the
// start and "=" anywhere (below the trail bytes) cannot belong to a double-byte character.
bool mayBeSection(QByteArrayView content)
{
    qsizetype i = 0;
    while (i < content.size() && (content[i] == ' ' || content[i] == '\t'))
        ++i;
    return i < content.size() && content[i] == '[';
}

bool mayBeKey(QByteArrayView content)
{
    return content.contains('=');
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// The section's header line and the index just past its last line; header -1 when missing.
struct SectionSpan
{
    qsizetype header = -1;
    qsizetype end = 0;
};

SectionSpan findSection(const QList<Line> &lines, const QString &section)
{
    SectionSpan span;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!mayBeSection(lines[i].content))
            continue;
        const ParsedLine parsed = parseLine(lines[i].content);
        if (parsed.kind != ParsedLine::Section)
            continue;
        if (span.header >= 0) {
            span.end = i;
            return span;
        }
        if (sameName(parsed.name, section))
            span.header = i;
    }
    span.end = lines.size();
    return span;
}

qsizetype findKey(const QList<Line> &lines, SectionSpan span, const QString &key)
{
    for (qsizetype i = span.header + 1; i < span.end; ++i) {
        if (!mayBeKey(lines[i].content))
            continue;
        const ParsedLine parsed = parseLine(lines[i].content);
        if (parsed.kind == ParsedLine::Key && sameName(parsed.name, key))
            return i;
    }
    return -1;
}

// The value of key in the first section of that name, as findSection and findKey would find
// it, in one pass over the bytes without copying lines: a large file still reads at once.
std::optional<QString> findValue(QByteArrayView bytes, const QString &section, const QString &key)
{
    bool inSection = false;
    qsizetype start = 0;
    // The next CR and the next LF, each found again only once passed.
    qsizetype cr = -1;
    qsizetype lf = -1;
    const auto next = [&](qsizetype &at, char c) {
        if (at < start && at != bytes.size()) {
            at = bytes.indexOf(c, start);
            if (at < 0)
                at = bytes.size();
        }
    };
    while (start < bytes.size()) {
        next(cr, '\r');
        next(lf, '\n');
        const qsizetype end = std::min(cr, lf);
        const QByteArrayView content = bytes.sliced(start, end - start);
        start = end
            + (end + 1 < bytes.size() && bytes[end] == '\r' && bytes[end + 1] == '\n' ? 2 : 1);
        if (mayBeSection(content)) {
            if (inSection)
                return std::nullopt;
            inSection = sameName(parseLine(content).name, section);
        } else if (inSection && mayBeKey(content)) {
            ParsedLine parsed = parseLine(content);
            if (parsed.kind == ParsedLine::Key && sameName(parsed.name, key))
                return std::move(parsed.value);
        }
    }
    return std::nullopt;
}

QString cutToBytes(const QString &value, qsizetype maxBytes)
{
    qsizetype bytes = 0;
    qsizetype i = 0;
    while (i < value.size()) {
        const qsizetype units = value.at(i).isHighSurrogate() && i + 1 < value.size() ? 2 : 1;
        bytes += Cp932::byteLength(QStringView(value).sliced(i, units));
        if (bytes > maxBytes)
            break;
        i += units;
    }
    return value.left(i);
}

// Blanks around a value and a pair of enclosing quotes would be lost on reading: quote it.
QString valueForWriting(const QString &value)
{
    if (value.isEmpty())
        return value;
    if (isBlank(value.front()) || isBlank(value.back()) || isQuoted(value))
        return u'"' + value + u'"';
    return value;
}

bool isStorable(const QString &text)
{
    return !text.contains(u'\r') && !text.contains(u'\n') && Cp932::canEncode(text);
}

std::optional<QByteArray> readBytes(const QString &path)
{
    if (FileFaults::shouldFail(FileFaults::Step::OpenRead, path) || !QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// Puts the key line where it belongs: over the old one, at the end of its section, or in a
// new section at the end of the file.
void placeKeyLine(
    QList<Line> &lines, const QString &section, const QString &key, const QByteArray &keyLine)
{
    const SectionSpan span = findSection(lines, section);
    if (span.header < 0) {
        if (!lines.isEmpty() && lines.last().end.isEmpty())
            lines.last().end = kLineBreak;
        lines.append({Cp932::encode(u'[' + section + u']'), kLineBreak});
        lines.append({keyLine, kLineBreak});
        return;
    }
    const qsizetype at = findKey(lines, span, key);
    if (at >= 0) {
        lines[at].content = keyLine;
        return;
    }
    qsizetype insertAt = span.end;
    while (insertAt - 1 > span.header
        && trimBlanks(Cp932::decode(lines[insertAt - 1].content)).isEmpty())
        --insertAt;
    if (lines[insertAt - 1].end.isEmpty())
        lines[insertAt - 1].end = kLineBreak;
    lines.insert(insertAt, {keyLine, kLineBreak});
}

} // namespace

ProfileFile::ProfileFile(QString path) : m_path(std::move(path)) { }

ProfileFile::~ProfileFile() = default;

QString ProfileFile::readString(
    const QString &section, const QString &key, const QString &defaultValue) const
{
    const std::optional<QByteArray> bytes = readBytes(m_path);
    if (!bytes)
        return defaultValue;
    const std::optional<QString> value = findValue(*bytes, section, key);
    if (!value)
        return defaultValue;
    return cutToBytes(*value, kMaxValueBytes);
}

int ProfileFile::readInteger(const QString &section, const QString &key, int defaultValue) const
{
    return parseIntegerText(readString(section, key, QString())).value_or(defaultValue);
}

void ProfileFile::writeString(const QString &section, const QString &key, const QString &value)
{
    // After a failed write, the operation's later writes are not attempted.
    if (m_failed || !isStorable(section) || !isStorable(key) || !isStorable(value))
        fail();
    QList<Line> lines;
    if (QFileInfo::exists(m_path)) {
        const std::optional<QByteArray> bytes = readBytes(m_path);
        if (!bytes)
            fail();
        lines = splitLines(*bytes);
    }
    placeKeyLine(lines, section, key, Cp932::encode(key + u'=' + valueForWriting(value)));
    if (AtomicFile::replace(m_path, joinLines(lines), AtomicFile::kUmaskMode)
        != AtomicFile::Result::Done)
        fail();
}

void ProfileFile::writeInteger(const QString &section, const QString &key, int value)
{
    writeString(section, key, QString::number(value));
}

void ProfileFile::fail()
{
    m_failed = true;
    throw Exception(StorageMessages::cannotWrite(m_path));
}
