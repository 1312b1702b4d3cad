#include "TestFiles.h"
#include "storage/Cp932.h"
#include "storage/Exception.h"
#include "storage/FileFaults.h"
#include "storage/IntegerText.h"
#include "storage/ProfileFile.h"
#include "storage/Settings.h"

#include <QtTest>

namespace {

QStringList entriesOf(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

} // namespace

class tst_SettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void parsesIntegerText_data();
    void parsesIntegerText();
    void settingsFileIsBesideExecutable_data();
    void settingsFileIsBesideExecutable();
    void settingsFileFollowsRunningExecutable();
    void choosesWhereSettingsLive_data();
    void choosesWhereSettingsLive();
    void userFileIsPrivateAndStartsFromDefaults();
    void readsSettings_data();
    void readsSettings();
    void cutsLongTextAtCharacterBoundary_data();
    void cutsLongTextAtCharacterBoundary();
    void writeKeepsEveryOtherLineByteForByte();
    void writeAddsMissingKeyAtEndOfItsSection();
    void writeCreatesFileAndSection();
    void writtenValuesReadBackUnchanged_data();
    void writtenValuesReadBackUnchanged();
    void unstorableValueRaisesAndLeavesFile();
    void failedWriteRaisesAndStopsTheOperation_data();
    void failedWriteRaisesAndStopsTheOperation();
    void checkSettingsNeedsExistingFolder_data();
    void checkSettingsNeedsExistingFolder();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_ini;
};

void tst_SettingsFile::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    setExecutablePathForTesting(m_dir->filePath(u"Orlune"_qs));
    m_ini = m_dir->filePath(u"Orlune.ini"_qs);
}

void tst_SettingsFile::cleanup()
{
    FileFaults::setHook({});
    setExecutablePathForTesting(QString());
    DiaryDir.clear();
    CharsToSave = kDefaultCharsToSave;
}

void tst_SettingsFile::parsesIntegerText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<int>>("value");
    const std::optional<int> none;
    QTest::newRow("decimal") << u"20"_qs << std::optional(20);
    QTest::newRow("leading spaces") << u"   25"_qs << std::optional(25);
    QTest::newRow("plus") << u"+7"_qs << std::optional(7);
    QTest::newRow("minus") << u"-12"_qs << std::optional(-12);
    QTest::newRow("dollar") << u"$1E"_qs << std::optional(30);
    QTest::newRow("0x") << u"0x1E"_qs << std::optional(30);
    QTest::newRow("0X mixed case") << u"0X1e"_qs << std::optional(30);
    QTest::newRow("x") << u"x1E"_qs << std::optional(30);
    QTest::newRow("X") << u"X1e"_qs << std::optional(30);
    QTest::newRow("largest") << u"2147483647"_qs << std::optional(2147483647);
    QTest::newRow("smallest") << u"-2147483648"_qs << std::optional(int(-2147483647 - 1));
    QTest::newRow("too large") << u"2147483648"_qs << none;
    QTest::newRow("too small") << u"-2147483649"_qs << none;
    QTest::newRow("hex takes the bits") << u"0xFFFFFFFF"_qs << std::optional(-1);
    QTest::newRow("hex leading zeros") << u"$000000001E"_qs << std::optional(30);
    QTest::newRow("hex too large") << u"0x100000000"_qs << none;
    QTest::newRow("letters") << u"abc"_qs << none;
    QTest::newRow("digits then letters") << u"25abc"_qs << none;
    QTest::newRow("empty") << QString() << none;
    QTest::newRow("prefix alone") << u"0x"_qs << none;
    QTest::newRow("sign before hex") << u"-$1E"_qs << none;
    QTest::newRow("sign alone") << u"-"_qs << none;
    QTest::newRow("trailing space") << u"25 "_qs << none;
    QTest::newRow("full-width digits") << u"２５"_qs << none;
}

void tst_SettingsFile::parsesIntegerText()
{
    QFETCH(QString, text);
    QFETCH(std::optional<int>, value);
    QCOMPARE(parseIntegerText(text), value);
}

void tst_SettingsFile::settingsFileIsBesideExecutable_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<QString>("settings");
    QTest::newRow("no extension") << u"/opt/orlune/Orlune"_qs << u"/opt/orlune/Orlune.ini"_qs;
    QTest::newRow("extension replaced")
        << u"/opt/orlune/diary.bin"_qs << u"/opt/orlune/diary.ini"_qs;
    QTest::newRow("last dot only") << u"/opt/diary.v2.bin"_qs << u"/opt/diary.v2.ini"_qs;
    QTest::newRow("dot in a folder name") << u"/opt/v1.2/diary"_qs << u"/opt/v1.2/diary.ini"_qs;
}

void tst_SettingsFile::settingsFileIsBesideExecutable()
{
    QFETCH(QString, executable);
    QFETCH(QString, settings);
    QCOMPARE(besideSettingsPath(executable), settings);
}

void tst_SettingsFile::settingsFileFollowsRunningExecutable()
{
    setExecutablePathForTesting(QString());
    QCOMPARE(settingsFilePath(), QCoreApplication::applicationFilePath() + u".ini"_qs);
}

void tst_SettingsFile::choosesWhereSettingsLive_data()
{
    QTest::addColumn<QString>("executable");
    QTest::addColumn<bool>("besideExists");
    QTest::addColumn<bool>("besideWritable");
    QTest::addColumn<bool>("folderWritable");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("defaults");
    const QString home = u"/home/u/.config/orlune/"_qs;
    // A copy on a stick, under ~/.local or in a build tree: beside, as ever.
    QTest::newRow("new file in a writable folder")
        << u"/media/stick/Orlune"_qs << false << false << true << u"/media/stick/Orlune.ini"_qs
        << QString();
    QTest::newRow("writable file in a locked folder")
        << u"/opt/orlune/Orlune"_qs << true << true << false << u"/opt/orlune/Orlune.ini"_qs
        << QString();
    QTest::newRow("locked folder") << u"/opt/orlune/Orlune"_qs << false << false << false
                                   << home + u"Orlune.ini"_qs << QString();
    QTest::newRow("administrator's file")
        << u"/opt/orlune/Orlune"_qs << true << false << true << home + u"Orlune.ini"_qs
        << u"/opt/orlune/Orlune.ini"_qs;
    // Root may write anywhere, but the package system owns /usr.
    QTest::newRow("packaged, as root") << u"/usr/lib/orlune/Orlune"_qs << false << false << true
                                       << home + u"Orlune.ini"_qs << QString();
    QTest::newRow("packaged, administrator's file, as root")
        << u"/usr/lib/orlune/Orlune"_qs << true << true << true << home + u"Orlune.ini"_qs
        << u"/usr/lib/orlune/Orlune.ini"_qs;
    QTest::newRow("under /usr/local") << u"/usr/local/lib/orlune/Orlune"_qs << false << false
                                      << true << home + u"Orlune.ini"_qs << QString();
    QTest::newRow("renamed copy") << u"/usr/lib/orlune/diary.bin"_qs << false << false << false
                                  << home + u"diary.ini"_qs << QString();
    QTest::newRow("only named like /usr") << u"/usrdata/Orlune"_qs << false << false << true
                                          << u"/usrdata/Orlune.ini"_qs << QString();
}

void tst_SettingsFile::choosesWhereSettingsLive()
{
    QFETCH(QString, executable);
    QFETCH(bool, besideExists);
    QFETCH(bool, besideWritable);
    QFETCH(bool, folderWritable);
    QFETCH(QString, path);
    QFETCH(QString, defaults);
    const SettingsFiles chosen = chooseSettingsFiles(
        {executable, besideExists, besideWritable, folderWritable, u"/home/u/.config"_qs});
    QCOMPARE(chosen.path, path);
    QCOMPARE(chosen.defaults, defaults);
    QCOMPARE(chosen.perUser, path.startsWith(u"/home/"_qs));
}

void tst_SettingsFile::userFileIsPrivateAndStartsFromDefaults()
{
    const QString defaults = m_dir->filePath(u"admin.ini"_qs);
    const QByteArray adminFile("; chosen by the administrator\r\n[Data]\r\nDir=/shared\r\n"
                               "NumberOfCharsToSave=40\r\n");
    WRITE_FILE(defaults, adminFile);
    const QString own = m_dir->filePath(u"config/orlune/Orlune.ini"_qs);
    ProfileFile file(own, {defaults, true});
    QCOMPARE(file.readString(u"Data"_qs, u"Dir"_qs, QString()), u"/shared"_qs);

    file.writeString(u"Data"_qs, u"Dir"_qs, u"/mine"_qs);
    QCOMPARE(readFile(own),
        QByteArray("; chosen by the administrator\r\n[Data]\r\nDir=/mine\r\n"
                   "NumberOfCharsToSave=40\r\n"));
    QCOMPARE(readFile(defaults), adminFile);
    // The packaged program reads the user's file once there is one.
    qputenv("XDG_CONFIG_HOME", m_dir->filePath(u"config"_qs).toLocal8Bit());
    setExecutablePathForTesting(u"/usr/lib/orlune-absent/Orlune"_qs);
    readSettings();
    qunsetenv("XDG_CONFIG_HOME");
    QCOMPARE(DiaryDir, u"/mine"_qs);
    QCOMPARE(CharsToSave, 40);
}

void tst_SettingsFile::readsSettings_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("diaryDir");
    QTest::addColumn<int>("charsToSave");
    QTest::newRow("no file") << QByteArray() << QString() << 20;
    QTest::newRow("both keys") << QByteArray("[Data]\r\nDir=/home/d\r\nNumberOfCharsToSave=30\r\n")
                               << u"/home/d"_qs << 30;
    QTest::newRow("interval letters")
        << QByteArray("[Data]\r\nNumberOfCharsToSave=abc\r\n") << QString() << 20;
    QTest::newRow("interval digits then letters")
        << QByteArray("[Data]\r\nNumberOfCharsToSave=25abc\r\n") << QString() << 20;
    QTest::newRow("interval empty")
        << QByteArray("[Data]\r\nNumberOfCharsToSave=\r\n") << QString() << 20;
    QTest::newRow("interval hexadecimal")
        << QByteArray("[Data]\r\nNumberOfCharsToSave=$1E\r\n") << QString() << 30;
    QTest::newRow("interval not limited")
        << QByteArray("[Data]\r\nNumberOfCharsToSave=200\r\n") << QString() << 200;
    QTest::newRow("interval zero")
        << QByteArray("[Data]\r\nNumberOfCharsToSave=0\r\n") << QString() << 20;
    QTest::newRow("interval negative")
        << QByteArray("[Data]\r\nNumberOfCharsToSave=-5\r\n") << QString() << 20;
    QTest::newRow("letter case and blanks")
        << QByteArray(" [ data ] \r\n  dir \t=  /x y \r\nnumberofcharstosave = 25\r\n")
        << u"/x y"_qs << 25;
    QTest::newRow("quoted value") << QByteArray("[Data]\r\nDir=\" /x \"\r\n") << u" /x "_qs << 20;
    QTest::newRow("comment skipped")
        << QByteArray("[Data]\r\n;Dir=/c\r\nDir=/d\r\n") << u"/d"_qs << 20;
    QTest::newRow("key of another section")
        << QByteArray("[Data]\r\n[Other]\r\nDir=/o\r\n") << QString() << 20;
    QTest::newRow("other section first")
        << QByteArray("[Other]\r\nDir=/o\r\n[Data]\r\nDir=/d\r\n") << u"/d"_qs << 20;
    QTest::newRow("code page 932 value")
        << QByteArray("[Data]\r\nDir=/\x93\xFA\x8B\x4C\r\n") << u"/日記"_qs << 20;
    QTest::newRow("LF-only lines")
        << QByteArray("[Data]\nDir=/d\nNumberOfCharsToSave=9\n") << u"/d"_qs << 9;
}

void tst_SettingsFile::readsSettings()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, diaryDir);
    QFETCH(int, charsToSave);
    if (!file.isNull())
        WRITE_FILE(m_ini, file);
    readSettings();
    QCOMPARE(DiaryDir, diaryDir);
    QCOMPARE(CharsToSave, charsToSave);
}

void tst_SettingsFile::cutsLongTextAtCharacterBoundary_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("read");
    QTest::newRow("single bytes") << QString(3000, u'a') << QString(2047, u'a');
    QTest::newRow("cut after a whole character")
        << u"a"_qs + QString(1024, u'あ') << u"a"_qs + QString(1023, u'あ');
    QTest::newRow("never half a character") << QString(1024, u'あ') << QString(1023, u'あ');
}

void tst_SettingsFile::cutsLongTextAtCharacterBoundary()
{
    QFETCH(QString, stored);
    QFETCH(QString, read);
    WRITE_FILE(m_ini, "[Data]\r\nDir=" + Cp932::encode(stored) + "\r\n");
    readSettings();
    QCOMPARE(DiaryDir, read);
}

void tst_SettingsFile::writeKeepsEveryOtherLineByteForByte()
{
    const QByteArray before("; written by hand\r\n"
                            "[Other]\r\n"
                            "Dir = elsewhere \r\n"
                            "\r\n"
                            "[Data]\r\n"
                            "  ; \x93\xFA\x8B\x4C comment\r\n"
                            "Foreign=\xE6\x97\xA5 utf-8\n"
                            "  DIR = /old\r\n"
                            "NumberOfCharsToSave=30\r\n"
                            "no equals sign here\r\n"
                            "[Tail]\r"
                            "k=v");
    WRITE_FILE(m_ini, before);
    ProfileFile file(m_ini);
    file.writeString(u"Data"_qs, u"Dir"_qs, u"/新しい"_qs);
    QByteArray after = before;
    after.replace("  DIR = /old", "Dir=/\x90\x56\x82\xB5\x82\xA2");
    QCOMPARE(readFile(m_ini), after);
}

void tst_SettingsFile::writeAddsMissingKeyAtEndOfItsSection()
{
    WRITE_FILE(m_ini, "[Data]\r\nDir=/d\r\n\r\n[Other]\r\nk=v\r\n");
    ProfileFile file(m_ini);
    file.writeInteger(u"Data"_qs, u"NumberOfCharsToSave"_qs, 20);
    QCOMPARE(readFile(m_ini),
        QByteArray("[Data]\r\nDir=/d\r\nNumberOfCharsToSave=20\r\n\r\n[Other]\r\nk=v\r\n"));
}

void tst_SettingsFile::writeCreatesFileAndSection()
{
    {
        ProfileFile file(m_ini);
        file.writeString(u"Data"_qs, u"Dir"_qs, u"/d"_qs);
        file.writeInteger(u"Data"_qs, u"NumberOfCharsToSave"_qs, -3);
    }
    QCOMPARE(readFile(m_ini), QByteArray("[Data]\r\nDir=/d\r\nNumberOfCharsToSave=-3\r\n"));

    WRITE_FILE(m_ini, "[Other]\r\nk=v");
    ProfileFile file(m_ini);
    file.writeString(u"Data"_qs, u"Dir"_qs, QString());
    QCOMPARE(readFile(m_ini), QByteArray("[Other]\r\nk=v\r\n[Data]\r\nDir=\r\n"));
    QCOMPARE(file.readString(u"Data"_qs, u"Dir"_qs, u"default"_qs), QString());
}

void tst_SettingsFile::writtenValuesReadBackUnchanged_data()
{
    QTest::addColumn<QString>("value");
    QTest::newRow("empty") << QString();
    QTest::newRow("leading blank") << u" /lead"_qs;
    QTest::newRow("trailing tab") << u"/trail\t"_qs;
    QTest::newRow("in double quotes") << u"\"/quoted\""_qs;
    QTest::newRow("in single quotes") << u"'/q'"_qs;
    QTest::newRow("one quote") << u"\"/half"_qs;
    QTest::newRow("equals and brackets") << u"[a]=b;c"_qs;
    QTest::newRow("full-width with ideographic space") << u"　日記／２０２６　"_qs;
    QTest::newRow("escaped byte") << u"/d"_qs
            + QString::fromUcs4(std::array {char32_t(Cp932::kEscapeBase + 0x80)}.data(), 1);
}

void tst_SettingsFile::writtenValuesReadBackUnchanged()
{
    QFETCH(QString, value);
    ProfileFile file(m_ini);
    file.writeString(u"Data"_qs, u"Dir"_qs, value);
    file.writeString(u"Data"_qs, u"Dir"_qs, value); // the second write replaces the first line
    QCOMPARE(file.readString(u"Data"_qs, u"Dir"_qs, u"default"_qs), value);
    QCOMPARE(readFile(m_ini).count("Dir="), 1);
}

void tst_SettingsFile::unstorableValueRaisesAndLeavesFile()
{
    const QByteArray before("[Data]\r\nDir=/d\r\n");
    for (const QString &value : {u"/a\nb"_qs, u"/café"_qs}) {
        WRITE_FILE(m_ini, before);
        ProfileFile file(m_ini);
        try {
            file.writeString(u"Data"_qs, u"Dir"_qs, value);
            QFAIL("no error raised");
        } catch (const Exception &e) {
            QCOMPARE(e.message(), m_ini + u" に書き込めません"_qs);
        }
        QCOMPARE(readFile(m_ini), before);
    }
}

void tst_SettingsFile::failedWriteRaisesAndStopsTheOperation_data()
{
    QTest::addColumn<FileFaults::Step>("step");
    QTest::newRow("create") << FileFaults::Step::Create;
    QTest::newRow("write") << FileFaults::Step::Write;
    QTest::newRow("sync") << FileFaults::Step::Sync;
    QTest::newRow("rename") << FileFaults::Step::Rename;
}

void tst_SettingsFile::failedWriteRaisesAndStopsTheOperation()
{
    QFETCH(FileFaults::Step, step);
    const QByteArray before("[Data]\r\nDir=/d\r\nNumberOfCharsToSave=20\r\n");
    WRITE_FILE(m_ini, before);
    int asked = 0;
    FileFaults::setHook([&](FileFaults::Step s, const QString &) {
        ++asked;
        return s == step;
    });
    ProfileFile file(m_ini);
    QVERIFY_THROWS_EXCEPTION(Exception, file.writeString(u"Data"_qs, u"Dir"_qs, u"/new"_qs));
    const int askedByFirstWrite = asked;
    try {
        file.writeInteger(u"Data"_qs, u"NumberOfCharsToSave"_qs, 50);
        QFAIL("no error raised");
    } catch (const Exception &e) {
        QCOMPARE(e.message(), m_ini + u" に書き込めません"_qs);
    }
    QCOMPARE(asked, askedByFirstWrite); // the second write touched nothing
    QCOMPARE(readFile(m_ini), before);
    QCOMPARE(entriesOf(m_dir->path()), QStringList {u"Orlune.ini"_qs});
}

void tst_SettingsFile::checkSettingsNeedsExistingFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("usable");
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("existing folder") << u"diary"_qs << true;
    QTest::newRow("a file") << u"file"_qs << false;
    QTest::newRow("missing") << u"missing"_qs << false;
}

void tst_SettingsFile::checkSettingsNeedsExistingFolder()
{
    QFETCH(QString, name);
    QFETCH(bool, usable);
    QVERIFY(QDir(m_dir->path()).mkdir(u"diary"_qs));
    WRITE_FILE(m_dir->filePath(u"file"_qs), "x");
    DiaryDir = name.isEmpty() ? QString() : m_dir->filePath(name);
    QCOMPARE(checkSettings(), usable);
}

QTEST_GUILESS_MAIN(tst_SettingsFile)
#include "tst_settingsfile.moc"
