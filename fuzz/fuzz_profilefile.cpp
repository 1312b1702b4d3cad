// Any settings file parses without a crash; writing one key then leaves that key reading back
// the written value, every other key reading as before, and every other line byte for byte.

#include "FuzzCheck.h"
#include "storage/AtomicFile.h"
#include "storage/Cp932.h"
#include "storage/Exception.h"
#include "storage/ProfileFile.h"

#include <QDir>
#include <QList>

#include <algorithm>
#include <cstdint>
#include <utility>

namespace {

// Takes the input apart from its front: choices, names and the value, then the file itself.
class Input
{
public:
    Input(const uint8_t *data, size_t size) : m_data(data), m_size(size) { }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    QByteArray bytes(size_t n)
    {
        n = std::min(n, m_size - m_pos);
        const QByteArray out(reinterpret_cast<const char *>(m_data + m_pos), qsizetype(n));
        m_pos += n;
        return out;
    }
    QByteArray rest() { return bytes(m_size - m_pos); }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};

struct Line
{
    QByteArray content;
    QByteArray end;
    bool operator==(const Line &) const = default;
};

QList<Line> lines(const QByteArray &bytes)
{
    QList<Line> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        const qsizetype n
            = bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n' ? 2 : 1;
        out.append({bytes.mid(start, i - start), bytes.mid(i, n)});
        i += n - 1;
        start = i + 1;
    }
    if (start < bytes.size())
        out.append({bytes.mid(start), QByteArray()});
    return out;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A name as the program writes them: plain text that survives being put in its line.
bool usableName(const QString &name, QStringView around)
{
    if (name.isEmpty() || name.front().isSpace() || name.back().isSpace() || name.contains(u'\r')
        || name.contains(u'\n') || name.contains(u'=') || name.contains(u'[') || name.contains(u']')
        || name.startsWith(u';') || name.contains(u'"') || name.contains(u'\''))
        return false;
    const QString line = around.left(1).toString() + name + around.sliced(1).toString();
    return Cp932::decode(Cp932::encode(line)) == line;
}

QString pickName(Input &in, std::initializer_list<const char16_t *> known, QStringView around)
{
    const uint8_t choice = in.byte();
    if (choice < known.size())
        return QString::fromUtf16(known.begin()[choice]);
    const QString name = Cp932::decode(in.bytes(in.byte() % 16));
    return usableName(name, around) ? name : QString::fromUtf16(*known.begin());
}

// Section and key names the file mentions, roughly: enough to see that other keys keep their
// values after the write.
QList<std::pair<QString, QString>> mentionedKeys(const QList<Line> &file)
{
    QList<std::pair<QString, QString>> keys;
    QString section;
    for (const Line &line : file) {
        const QString text = Cp932::decode(line.content).trimmed();
        if (text.startsWith(u'[')) {
            section = text.mid(1, text.indexOf(u']') - 1).trimmed();
        } else if (text.contains(u'=') && keys.size() < 64) {
            keys.append({section, text.left(text.indexOf(u'=')).trimmed()});
        }
    }
    return keys;
}

// The new file is the old one with the key line replaced or added (after a new section line
// when the section was missing, and a line break after an unterminated last line).
void checkOtherLinesKept(
    const QList<Line> &before, const QList<Line> &after, bool replaced, const QByteArray &keyStart)
{
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix
        && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const QList<Line> oldPart = before.mid(prefix, before.size() - prefix - suffix);
    QList<Line> newPart = after.mid(prefix, after.size() - prefix - suffix);
    if (replaced) {
        FUZZ_CHECK(oldPart.size() <= 1 && newPart.size() == oldPart.size());
        if (!newPart.isEmpty())
            FUZZ_CHECK(newPart[0].content.startsWith(keyStart) && newPart[0].end == oldPart[0].end);
        return;
    }
    FUZZ_CHECK(oldPart.size() <= 1);
    if (oldPart.size() == 1) {
        FUZZ_CHECK(oldPart[0].end.isEmpty() && suffix == 0);
        FUZZ_CHECK(newPart.size() >= 2 && newPart[0].content == oldPart[0].content);
        FUZZ_CHECK(newPart[0].end == "\r\n");
        newPart.removeFirst();
    }
    FUZZ_CHECK(newPart.size() == 1 || newPart.size() == 2);
    if (newPart.size() == 2)
        FUZZ_CHECK(newPart[0].content.startsWith('[') && newPart[0].end == "\r\n");
    FUZZ_CHECK(newPart.back().content.startsWith(keyStart) && newPart.back().end == "\r\n");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input in(data, size);
    const QString section = pickName(in, {u"Data", u"data", u"DATA", u"Other", u"日記"}, u"[]");
    const QString key
        = pickName(in, {u"Dir", u"dir", u"NumberOfCharsToSave", u"Key", u"キー"}, u"=");
    const size_t valueLength = (in.byte() | size_t(in.byte()) << 8) % 3000;
    const QString value = Cp932::decode(in.bytes(valueLength));
    const bool fileExists = in.byte() % 2 == 0;
    const QByteArray before = fileExists ? in.rest() : QByteArray();

    const QString path = fuzzFolder() + u"/Orlune.ini"_qs;
    QFile::remove(path);
    if (fileExists)
        writeRaw(path, before);
    ProfileFile file(path);
    const QList<Line> oldLines = lines(before);
    const QList<std::pair<QString, QString>> keys = mentionedKeys(oldLines);
    const QString absent = u"\x01absent"_qs;
    QList<QString> oldValues;
    for (const auto &[s, k] : keys) {
        oldValues.append(file.readString(s, k, absent));
        (void)file.readInteger(s, k, 20);
    }
    const bool hadKey = file.readString(section, key, absent) != absent;

    try {
        file.writeString(section, key, value);
        FUZZ_CHECK(!value.contains(u'\r') && !value.contains(u'\n'));
    } catch (const Exception &e) {
        FUZZ_CHECK(value.contains(u'\r') || value.contains(u'\n'));
        FUZZ_CHECK(e.message() == path + u" に書き込めません"_qs);
        FUZZ_CHECK(fileExists ? readRaw(path) == before : !QFile::exists(path));
        return 0;
    }

    const QString readBack = ProfileFile(path).readString(section, key, absent);
    if (Cp932::byteLength(value) <= 2047)
        FUZZ_CHECK(readBack == value);
    else
        FUZZ_CHECK(value.startsWith(readBack) && Cp932::byteLength(readBack) <= 2047);
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const auto &[s, k] = keys[i];
        if (!(sameName(s, section) && sameName(k, key)))
            FUZZ_CHECK(file.readString(s, k, absent) == oldValues[i]);
    }
    checkOtherLinesKept(oldLines, lines(readRaw(path)), hadKey, Cp932::encode(key + u'='));
    FUZZ_CHECK(QDir(fuzzFolder()).entryList(QDir::Files | QDir::Hidden).size() == 1);
    return 0;
}
