#include "ScriptedPrompter.h"
#include "WindowsLeft.h"
#include "storage/Exception.h"
#include "ui/ErrorReport.h"
#include "ui/YearMonthText.h"

#include <QTest>

class tst_ErrorReport : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { VERIFY_NO_WINDOW_LEFT_OPEN(); }
    void textGetsAFullStopAfterCharactersSortingAfterIt_data();
    void textGetsAFullStopAfterCharactersSortingAfterIt();
    void titleIsTheExecutableNameInitialCapital();
    void guardedReportsAndTellsTheCaller();
    void yearMonthTextRoundTrip_data();
    void yearMonthTextRoundTrip();
};

void tst_ErrorReport::textGetsAFullStopAfterCharactersSortingAfterIt_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("latin") << "Cannot create Directory"
                           << "Cannot create Directory.";
    QTest::newRow("japanese") << "保存できません"
                              << "保存できません.";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("full stop") << "done."
                               << "done.";
    QTest::newRow("exclamation sorts before") << "stop!"
                                              << "stop!";
    QTest::newRow("comma sorts before") << "a,"
                                        << "a,";
    QTest::newRow("slash sorts after") << "a/"
                                       << "a/.";
}

void tst_ErrorReport::textGetsAFullStopAfterCharactersSortingAfterIt()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(errorReportText(message), shown);
}

void tst_ErrorReport::titleIsTheExecutableNameInitialCapital()
{
    QCOMPARE(errorReportTitle(), QStringLiteral("tst_errorreport"));
}

void tst_ErrorReport::guardedReportsAndTellsTheCaller()
{
    ScriptedPrompter prompter;
    QVERIFY(guarded(nullptr, [] {}));
    QVERIFY(!guarded(nullptr, [] { throw Exception(QStringLiteral("ファイル x は開けません")); }));
    QCOMPARE(prompter.messages.size(), 1);
    QCOMPARE(prompter.messages[0].kind, QStringLiteral("error"));
    QCOMPARE(prompter.messages[0].text, QStringLiteral("ファイル x は開けません."));
    QCOMPARE(prompter.messages[0].title, QStringLiteral("tst_errorreport"));
}

void tst_ErrorReport::yearMonthTextRoundTrip_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("year");
    QTest::addColumn<int>("month");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << "2003/1" << 2003 << 1 << true;
    QTest::newRow("december") << "2003/12" << 2003 << 12 << true;
    QTest::newRow("negative year") << "-1/5" << -1 << 5 << true;
    QTest::newRow("no slash") << "2003" << 0 << 0 << false;
    QTest::newRow("empty") << "" << 0 << 0 << false;
    QTest::newRow("letters") << "20a3/1" << 0 << 0 << false;
    QTest::newRow("empty month") << "2003/" << 0 << 0 << false;
}

void tst_ErrorReport::yearMonthTextRoundTrip()
{
    QFETCH(QString, text);
    QFETCH(int, year);
    QFETCH(int, month);
    QFETCH(bool, valid);
    if (!valid) {
        try {
            parseYearMonthText(text);
            QFAIL("no error raised");
        } catch (const Exception &error) {
            QCOMPARE(error.message(), QStringLiteral("'%1' は整数ではありません").arg(text));
        }
        return;
    }
    const YearMonth parsed = parseYearMonthText(text);
    QCOMPARE(parsed.year, year);
    QCOMPARE(parsed.month, month);
    QCOMPARE(yearMonthText(year, month), text);
}

QTEST_MAIN(tst_ErrorReport)
#include "tst_errorreport.moc"
