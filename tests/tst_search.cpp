#include "search/DiaryScanner.h"
#include "search/SearchQuery.h"
#include "search/SearchSnippet.h"
#include "search/TextFold.h"
#include "storage/Cp932.h"

#include <QtTest>

namespace {

// Folds a and b as a query does; they match when each finds the other.
bool sameWhenSearched(const QString &a, const QString &b)
{
    return TextFold::fold(a) == TextFold::fold(b);
}

QString escapeOf(uint8_t b)
{
    const char32_t c = Cp932::kEscapeBase + b;
    return QString::fromUcs4(&c, 1);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class tst_Search : public QObject
{
    Q_OBJECT

private slots:
    void foldsAsAJapaneseReaderCompares_data();
    void foldsAsAJapaneseReaderCompares();
    void hitsMapBackToTheOriginalCharacters_data();
    void hitsMapBackToTheOriginalCharacters();
    void queryNeedsEveryTerm_data();
    void queryNeedsEveryTerm();
    void snippetCutsAtABreakAroundTheHit_data();
    void snippetCutsAtABreakAroundTheHit();
    void scanListsNewestFirstAndRereadsChangedEntries();
};

void tst_Search::foldsAsAJapaneseReaderCompares_data()
{
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<bool>("same");
    // Twins of code page 932: Linux input methods type the first, Windows files hold the second.
    QTest::newRow("wave dash") << u"〜"_qs << u"～"_qs << true;
    QTest::newRow("minus") << u"\u2212"_qs << u"\uFF0D"_qs << true;
    QTest::newRow("double vertical line") << u"\u2016"_qs << u"\u2225"_qs << true;
    QTest::newRow("em dash") << u"\u2014"_qs << u"\u2015"_qs << true;
    QTest::newRow("cent") << u"\u00A2"_qs << u"\uFFE0"_qs << true;
    QTest::newRow("pound") << u"\u00A3"_qs << u"\uFFE1"_qs << true;
    QTest::newRow("not") << u"\u00AC"_qs << u"\uFFE2"_qs << true;
    QTest::newRow("full-width latin") << u"ＡＢＣ"_qs << u"abc"_qs << true;
    QTest::newRow("case") << u"ABC"_qs << u"abc"_qs << true;
    QTest::newRow("half-width katakana") << u"ｶﾅ"_qs << u"カナ"_qs << true;
    QTest::newRow("katakana as hiragana") << u"カナ"_qs << u"かな"_qs << true;
    QTest::newRow("half-width prolonged mark") << u"ｰ"_qs << u"ー"_qs << true;
    QTest::newRow("square word") << u"㌻"_qs << u"ページ"_qs << true;
    QTest::newRow("circled digit") << u"①"_qs << u"1"_qs << true;
    QTest::newRow("half-width voiced mark joins") << u"ｶﾞｯｺｳ"_qs << u"がっこう"_qs << true;
    QTest::newRow("half-width semi-voiced mark joins") << u"ﾊﾟﾝ"_qs << u"パン"_qs << true;
    QTest::newRow("combining voiced mark joins") << u"か\u3099"_qs << u"が"_qs << true;
    QTest::newRow("voiced mark that cannot join stays") << u"ｱﾞ"_qs << u"あ"_qs << false;
    QTest::newRow("small katakana") << u"ヶ"_qs << u"ゖ"_qs << true;
    QTest::newRow("iteration mark") << u"ヽ"_qs << u"ゝ"_qs << true;
    QTest::newRow("ideographic space") << u"\u3000"_qs << u" "_qs << true;
    QTest::newRow("voiced apart") << u"は"_qs << u"ば"_qs << false;
    QTest::newRow("semi-voiced apart") << u"ば"_qs << u"ぱ"_qs << false;
    QTest::newRow("half-width voiced apart") << u"ﾊﾞ"_qs << u"ぱ"_qs << false;
    QTest::newRow("small kana apart") << u"つ"_qs << u"っ"_qs << false;
    QTest::newRow("prolonged and repeat marks apart") << u"ー"_qs << u"々"_qs << false;
    QTest::newRow("long vowel kept") << u"カー"_qs << u"カア"_qs << false;
    QTest::newRow("different kanji") << u"高"_qs << u"髙"_qs << false;
    QTest::newRow("accent") << u"e"_qs << u"é"_qs << false;
    QTest::newRow("escaped byte is no text") << escapeOf(0xA0) << u"\uFFFF"_qs << true;
}

void tst_Search::foldsAsAJapaneseReaderCompares()
{
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(bool, same);
    QCOMPARE(sameWhenSearched(a, b), same);
}

void tst_Search::hitsMapBackToTheOriginalCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("hit");
    QTest::newRow("half-width with voiced mark")
        << u"今日はｶﾞｯｺｳへ"_qs << u"がっこう"_qs << u"ｶﾞｯｺｳ"_qs;
    QTest::newRow("square word taken whole") << u"次の㌻を"_qs << u"ぺ"_qs << u"㌻"_qs;
    QTest::newRow("after an escaped byte")
        << u"a"_qs + escapeOf(0x80) + u"ＡＢｃ"_qs << u"bc"_qs << u"Ｂｃ"_qs;
    QTest::newRow("wave dash") << u"10時～11時"_qs << u"〜"_qs << u"～"_qs;
}

void tst_Search::hitsMapBackToTheOriginalCharacters()
{
    QFETCH(QString, text);
    QFETCH(QString, query);
    QFETCH(QString, hit);
    const QList<TextFold::Span> spans = TextFold::occurrences(text, SearchQuery(query).terms());
    QCOMPARE(spans.size(), 1);
    QCOMPARE(text.mid(spans[0].start, spans[0].end - spans[0].start), hit);
    const SearchQuery::Match match = SearchQuery(query).match(TextFold::fold(text));
    const TextFold::Span span = TextFold::originalSpan(text, match.first, match.firstEnd);
    QCOMPARE(text.mid(span.start, span.end - span.start), hit);
}

void tst_Search::queryNeedsEveryTerm_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("hits");
    const QString text = u"カナダの病院で、かなり待った。"_qs;
    QTest::newRow("one term, twice") << u"かな"_qs << 2;
    QTest::newRow("both terms") << u"  かな　病院 "_qs << 3;
    QTest::newRow("a term missing") << u"かな 東京"_qs << 0;
    QTest::newRow("only spaces") << u" \u3000 "_qs << 0;
    QTest::newRow("a character no entry holds") << u"😀"_qs << 0;
}

void tst_Search::queryNeedsEveryTerm()
{
    QFETCH(QString, query);
    QFETCH(int, hits);
    const QString text = u"カナダの病院で、かなり待った。"_qs;
    QCOMPARE(SearchQuery(query).match(TextFold::fold(text)).hits, hits);
}

void tst_Search::snippetCutsAtABreakAroundTheHit_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QString>("snippet");
    QTest::newRow("short entry whole")
        << u"朝は雨。\n午後は晴れ。"_qs << u"午後"_qs << u"朝は雨。 午後は晴れ。"_qs;
    QTest::newRow("cut after a full stop")
        << u"今日は一日中家にいて本を読んでいた。夕方にカナダの友人から電話があり、来月こちらへ来ると言っていた。楽しみだ。"_qs
        << u"カナダ"_qs
        << u"…夕方にカナダの友人から電話があり、来月こちらへ来ると言っていた。楽しみだ。"_qs;
    QTest::newRow("cut inside a long sentence")
        << u"あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろ"
           u"わをん"
           u"あいうえおかきくけこさしすせそ"_qs
        << u"まみ"_qs
        << u"…てとなにぬねのはひふへほまみむめもやゆよらりるれろわをんあいうえおかきくけこさし…"_qs;
}

void tst_Search::snippetCutsAtABreakAroundTheHit()
{
    QFETCH(QString, text);
    QFETCH(QString, query);
    QFETCH(QString, snippet);
    const QList<TextFold::Span> spans = TextFold::occurrences(text, SearchQuery(query).terms());
    QVERIFY(!spans.isEmpty());
    const SearchSnippet::Snippet made = SearchSnippet::around(text, spans[0]);
    QCOMPARE(made.text, snippet);
    QCOMPARE(made.text.mid(made.boldStart, made.boldLength),
        text.mid(spans[0].start, spans[0].end - spans[0].start));
}

void tst_Search::scanListsNewestFirstAndRereadsChangedEntries()
{
    QTemporaryDir dir;
    const QString folder = dir.path();
    writeFile(folder + "/2023/0503.txt", Cp932::encode(u"カナダへ行く。"_qs));
    writeFile(folder + "/2024/0503.txt", Cp932::encode(u"かなだの話"_qs));
    writeFile(folder + "/2024/0503.conflict-20240503-101010.txt", Cp932::encode(u"ｶﾅﾀﾞ"_qs));
    // Bytes that are not code page 932 between the letters: never a match, never an error.
    writeFile(folder + "/2022/0101.txt", QByteArray("\x83\x4a\xa0\x83\x69\x83\x5f\xff\xfe"));
    const auto lister = [](const QString &root) {
        return QList<SearchSource> {
            {2022, 1, 1, root + "/2022/0101.txt", false, {}},
            {2024, 5, 3, root + "/2024/0503.conflict-20240503-101010.txt", true, {}},
            {2023, 5, 3, root + "/2023/0503.txt", false, {}},
            {2024, 5, 3, root + "/2024/0503.txt", false, {}},
        };
    };
    DiaryScanner scanner(lister);
    QList<SearchResult> rows;
    int days = -1;
    connect(&scanner, &DiaryScanner::found, this,
        [&](const QList<SearchResult> &found) { rows += found; });
    connect(&scanner, &DiaryScanner::finished, this, [&](int d, int) { days = d; });
    const auto search = [&](const QString &query, const QList<SearchSource> &notOnDisk) {
        rows.clear();
        days = -1;
        scanner.search(SearchQuery(query), folder, notOnDisk);
        QTRY_VERIFY(days >= 0);
    };

    search(u"かなだ"_qs, {});
    QCOMPARE(days, 3);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].year, 2024);
    QVERIFY(!rows[0].keptCopy);
    QVERIFY(rows[1].keptCopy);
    QCOMPARE(rows[2].year, 2023);
    QCOMPARE(rows[2].snippet.text, u"カナダへ行く。"_qs);

    // Typing not saved yet takes the place of its day's file.
    search(u"かなだ"_qs, {{2024, 5, 3, folder + "/2024/0503.txt", false, u"東京の話"_qs}});
    QCOMPARE(days, 2);

    writeFile(folder + "/2023/0503.txt", Cp932::encode(u"東京へ行く。ずっと先のことだ。"_qs));
    search(u"東京"_qs, {});
    QCOMPARE(days, 1);
    QCOMPARE(rows[0].year, 2023);
}

QTEST_GUILESS_MAIN(tst_Search)
#include "tst_search.moc"
