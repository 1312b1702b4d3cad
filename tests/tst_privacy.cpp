#include "FakePane.h"
#include "SavedNow.h"
#include "TestFiles.h"
#include "storage/EntryFiles.h"
#include "storage/FileFaults.h"
#include "storage/ProfileFile.h"
#include "storage/Settings.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <sys/stat.h>

using FileFaults::Step;

namespace {

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

struct Temporary
{
    QString path;
    mode_t mode = 0;
};

// The temporary files standing in folder while the layer writes to path, at its first write.
QList<Temporary> temporariesWhileWriting(
    const QString &path, const QString &folder, const std::function<void()> &write)
{
    QList<Temporary> seen;
    FileFaults::setHook([&](Step step, const QString &p) {
        if (step == Step::Write && p == path && seen.isEmpty()) {
            QDirIterator it(folder, QDir::Files | QDir::Hidden);
            while (it.hasNext()) {
                const QString name = it.next();
                if (QFileInfo(name).fileName().endsWith(u".tmp"_qs))
                    seen.append({name, modeOf(name)});
            }
        }
        return false;
    });
    write();
    FileFaults::setHook({});
    return seen;
}

} // namespace

// A private diary stays private whatever the umask: folders 0700, entries and temporaries 0600,
// temporaries beside their file, links written through and never replaced by a file.
class tst_Privacy : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void permissiveUmaskStillGivesPrivateModes();
    void temporaryIsPrivateAndBesideItsFile_data();
    void temporaryIsPrivateAndBesideItsFile();
    void linkedEntryIsWrittenThroughAndStaysALink();
    void settingsFileKeepsItsMode();

private:
    EntryWriter m_writer;
    std::unique_ptr<QTemporaryDir> m_dir;
    mode_t m_umask = 0;
};

void tst_Privacy::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    DiaryDir = m_dir->filePath(u"diary"_qs);
    QVERIFY(QDir().mkpath(DiaryDir));
    m_umask = ::umask(0);
}

void tst_Privacy::cleanup()
{
    ::umask(m_umask);
    FileFaults::setHook({});
    DiaryDir.clear();
    m_dir.reset();
}

void tst_Privacy::permissiveUmaskStillGivesPrivateModes()
{
    saveNow(u"秘密"_qs, 2026, 12, 8);
    QCOMPARE(modeOf(yearFolderPath(2026)), mode_t(0700));
    QCOMPARE(modeOf(entryFilePath(2026, 12, 8)), mode_t(0600));
    const QString out = m_dir->filePath(u"export.txt"_qs);
    writeTextFile(out, u"書き出し"_qs);
    QCOMPARE(modeOf(out), mode_t(0600));
}

void tst_Privacy::temporaryIsPrivateAndBesideItsFile_data()
{
    QTest::addColumn<bool>("existing");
    QTest::addColumn<int>("oldMode");
    QTest::newRow("new entry") << false << 0;
    QTest::newRow("replaced 0644 entry") << true << 0644;
}

void tst_Privacy::temporaryIsPrivateAndBesideItsFile()
{
    QFETCH(bool, existing);
    QFETCH(int, oldMode);
    const QString entry = entryFilePath(2026, 12, 8);
    if (existing) {
        saveNow(u"old"_qs, 2026, 12, 8);
        QVERIFY(::chmod(QFile::encodeName(entry).constData(), mode_t(oldMode)) == 0);
    }
    QDir().mkpath(yearFolderPath(2026));
    const auto seen = temporariesWhileWriting(
        entry, yearFolderPath(2026), [] { saveNow(u"new"_qs, 2026, 12, 8); });
    QCOMPARE(seen.size(), 1);
    QVERIFY(QFileInfo(seen[0].path).fileName().startsWith(u".1208.txt."_qs));
    QCOMPARE(seen[0].mode, mode_t(0600));
    QCOMPARE(modeOf(entry), existing ? mode_t(oldMode) : mode_t(0600));
    QVERIFY(!QFileInfo::exists(seen[0].path));
}

void tst_Privacy::linkedEntryIsWrittenThroughAndStaysALink()
{
    const QString outside = m_dir->filePath(u"elsewhere/kept.txt"_qs);
    QVERIFY(QDir().mkpath(QFileInfo(outside).path()));
    WRITE_FILE(outside, "outside");
    QVERIFY(QDir().mkpath(yearFolderPath(2026)));
    const QString entry = entryFilePath(2026, 12, 8);
    QVERIFY(QFile::link(outside, entry));
    FakePane pane;
    loadEntryFile(pane, entry);

    const auto seen = temporariesWhileWriting(
        entry, QFileInfo(outside).path(), [] { saveNow(u"new"_qs, 2026, 12, 8); });
    QVERIFY(QFileInfo(entry).isSymLink());
    QCOMPARE(readFile(outside), QByteArray("new"));
    // The temporary stood beside the file written, not beside the link.
    QCOMPARE(seen.size(), 1);
    QVERIFY(QFileInfo(seen[0].path).fileName().startsWith(u".kept.txt."_qs));
    QCOMPARE(QDir(yearFolderPath(2026))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList {u"1208.txt"_qs});
}

void tst_Privacy::settingsFileKeepsItsMode()
{
    const QString ini = m_dir->filePath(u"Orlune.ini"_qs);
    ProfileFile(ini).writeString(u"Data"_qs, u"Dir"_qs, u"/d"_qs);
    QCOMPARE(modeOf(ini), mode_t(0666));
    QVERIFY(::chmod(QFile::encodeName(ini).constData(), 0640) == 0);
    ProfileFile(ini).writeInteger(u"Data"_qs, u"NumberOfCharsToSave"_qs, 30);
    QCOMPARE(modeOf(ini), mode_t(0640));
}

QTEST_GUILESS_MAIN(tst_Privacy)
#include "tst_privacy.moc"
