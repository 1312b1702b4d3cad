#include "TestFiles.h"
#include "storage/FileFaults.h"
#include "storage/RescueFiles.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

// What the end-to-end tests cannot arrange: two rescues in the same second, and a rescue file
// made by another process between the look for a free name and the creation.
class tst_RescueFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void rescuesInTheSameSecondKeepEachOther();
    void nameTakenMeanwhileIsNeverReplaced();

private:
    QTemporaryDir m_data;
};

namespace {

mode_t modeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

void tst_RescueFiles::initTestCase()
{
    QVERIFY(m_data.isValid());
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_data.path()));
}

void tst_RescueFiles::rescuesInTheSameSecondKeepEachOther()
{
    const QDate entry(2026, 12, 8);
    const QDateTime now(QDate(2026, 12, 9), QTime(1, 2, 3));
    const QString first = writeRescueFile(u"一\n"_qs, entry, now);
    const QString second = writeRescueFile(u"二"_qs, entry, now);

    QCOMPARE(QFileInfo(first).fileName(), u"2026-12-08_20261209-010203.txt"_qs);
    QCOMPARE(QFileInfo(second).fileName(), u"2026-12-08_20261209-010203-2.txt"_qs);
    QCOMPARE(readFile(first), QByteArray("\x88\xea\r\n"));
    QCOMPARE(readFile(second), QByteArray("\x93\xf1"));
    QCOMPARE(modeOf(first), mode_t(0600));
    QCOMPARE(modeOf(rescueFolderPath()), mode_t(0700));
    QCOMPARE(rescueFolderPath(), m_data.filePath(u"orlune/rescue"_qs));

    QCOMPARE(unannouncedRescueFiles().size(), 2);
    markRescueFileAnnounced(first);
    QCOMPARE(unannouncedRescueFiles(), QStringList {second});
    QCOMPARE(modeOf(first), mode_t(0400));
}

void tst_RescueFiles::nameTakenMeanwhileIsNeverReplaced()
{
    const QDate entry(2026, 12, 7);
    const QDateTime now(QDate(2026, 12, 9), QTime(4, 5, 6));
    const QString taken = rescueFolderPath() + u"/2026-12-07_20261209-040506.txt"_qs;
    bool madeMeanwhile = false;
    FileFaults::setHook([&](FileFaults::Step step, const QString &path) {
        if (step == FileFaults::Step::Create && path == taken && !madeMeanwhile)
            madeMeanwhile = writeFile(taken, "the other process's");
        return false;
    });
    const QString written = writeRescueFile(u"mine"_qs, entry, now);
    FileFaults::setHook({});
    QVERIFY(madeMeanwhile);
    QCOMPARE(readFile(taken), QByteArray("the other process's"));
    QCOMPARE(QFileInfo(written).fileName(), u"2026-12-07_20261209-040506-2.txt"_qs);
    QCOMPARE(readFile(written), QByteArray("mine"));
}

QTEST_GUILESS_MAIN(tst_RescueFiles)
#include "tst_rescuefiles.moc"
