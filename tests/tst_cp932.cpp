#include "storage/Cp932.h"
#include "storage/DiaryText.h"
#include "storage/Exception.h"

#include <QtTest>

namespace {

QString fromUcs4(std::initializer_list<char32_t> codePoints)
{
    QString s;
    for (char32_t c : codePoints)
        s += QString::fromUcs4(&c, 1);
    return s;
}

QString escapeOf(uint8_t b)
{
    return fromUcs4({Cp932::kEscapeBase + b});
}

bool isDuplicateCode(uint8_t lead, uint8_t trail)
{
    const int code = lead << 8 | trail;
    return (code >= 0xED40 && code <= 0xEEFC) || (code >= 0xFA4A && code <= 0xFA54)
        || (code >= 0xFA58 && code <= 0xFA5B) || (code >= 0x8790 && code <= 0x879C);
}

} // namespace

class tst_Cp932 : public QObject
{
    Q_OBJECT

private slots:
    void mapsAsWindowsDoes_data();
    void mapsAsWindowsDoes();
    void duplicateCodesSaveInWindowsForm_data();
    void duplicateCodesSaveInWindowsForm();
    void everyByteSequenceRoundTripsExceptDuplicates();
    void randomBytesRoundTrip();
    void invalidBytesSurviveUnchanged_data();
    void invalidBytesSurviveUnchanged();
    void refusesCharactersWithoutAForm_data();
    void refusesCharactersWithoutAForm();
    void encodingAnUnencodableTextRaises();
    void byteLengthMatchesWrittenBytes_data();
    void byteLengthMatchesWrittenBytes();
    void normalisesLineBreaks_data();
    void normalisesLineBreaks();
    void diaryTextUsesNewlineInMemoryAndCrLfOnDisk();
};

void tst_Cp932::mapsAsWindowsDoes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << u"Hello"_qs << QByteArray("Hello");
    QTest::newRow("backslash and tilde stay ASCII") << u"\\~"_qs << QByteArray("\x5C\x7E");
    QTest::newRow("controls 1A 1C 7F as themselves")
        << u"\x1A\x1C\x7F"_qs << QByteArray("\x1A\x1C\x7F");
    QTest::newRow("hiragana") << u"あ"_qs << QByteArray("\x82\xA0");
    QTest::newRow("full-width tilde") << fromUcs4({0xFF5E}) << QByteArray("\x81\x60");
    QTest::newRow("circled one") << fromUcs4({0x2460}) << QByteArray("\x87\x40");
    QTest::newRow("IBM extension") << fromUcs4({0x9AD9}) << QByteArray("\xFB\xFC");
    QTest::newRow("half-width katakana") << fromUcs4({0xFF71}) << QByteArray("\xB1");
    QTest::newRow("user-defined area")
        << fromUcs4({0xE000, 0xE757}) << QByteArray("\xF0\x40\xF9\xFC");
    QTest::newRow("full-width reverse solidus") << fromUcs4({0xFF3C}) << QByteArray("\x81\x5F");
    QTest::newRow("horizontal bar") << fromUcs4({0x2015}) << QByteArray("\x81\x5C");
    QTest::newRow("parallel to") << fromUcs4({0x2225}) << QByteArray("\x81\x61");
    QTest::newRow("full-width hyphen-minus") << fromUcs4({0xFF0D}) << QByteArray("\x81\x7C");
    QTest::newRow("not sign") << fromUcs4({0xFFE2}) << QByteArray("\x81\xCA");
    QTest::newRow("roman numeral one, NEC row 13") << fromUcs4({0x2160}) << QByteArray("\x87\x54");
    QTest::newRow("small roman one, IBM extension") << fromUcs4({0x2170}) << QByteArray("\xFA\x40");
    QTest::newRow("ten full-width characters")
        << u"日記を十文字で書いた"_qs
        << QByteArray(
               "\x93\xFA\x8B\x4C\x82\xF0\x8F\x5C\x95\xB6\x8E\x9A\x82\xC5\x8F\x91\x82\xA2\x82\xBD");
}

void tst_Cp932::mapsAsWindowsDoes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Cp932::encode(text), bytes);
    QCOMPARE(Cp932::decode(bytes), text);
    QCOMPARE(Cp932::byteLength(text), bytes.size());
}

void tst_Cp932::duplicateCodesSaveInWindowsForm_data()
{
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("NEC-selected IBM extension")
        << QByteArray("\xED\x40") << fromUcs4({0x7E8A}) << QByteArray("\xFA\x5C");
    QTest::newRow("NEC-selected small roman one")
        << QByteArray("\xEE\xEF") << fromUcs4({0x2170}) << QByteArray("\xFA\x40");
    QTest::newRow("NEC-selected not sign")
        << QByteArray("\xEE\xF9") << fromUcs4({0xFFE2}) << QByteArray("\x81\xCA");
    QTest::newRow("IBM not sign") << QByteArray("\xFA\x54") << fromUcs4({0xFFE2})
                                  << QByteArray("\x81\xCA");
    QTest::newRow("IBM roman numeral one")
        << QByteArray("\xFA\x4A") << fromUcs4({0x2160}) << QByteArray("\x87\x54");
    QTest::newRow("IBM because") << QByteArray("\xFA\x5B") << fromUcs4({0x2235})
                                 << QByteArray("\x81\xE6");
    QTest::newRow("NEC row 13 nearly equal")
        << QByteArray("\x87\x90") << fromUcs4({0x2252}) << QByteArray("\x81\xE0");
    QTest::newRow("NEC row 13 union")
        << QByteArray("\x87\x9C") << fromUcs4({0x222A}) << QByteArray("\x81\xBE");
}

void tst_Cp932::duplicateCodesSaveInWindowsForm()
{
    QFETCH(QByteArray, read);
    QFETCH(QString, text);
    QFETCH(QByteArray, written);
    QCOMPARE(Cp932::decode(read), text);
    QCOMPARE(Cp932::encode(text), written);
}

void tst_Cp932::everyByteSequenceRoundTripsExceptDuplicates()
{
    // Nothing decoded may be a character that a text pane drops or changes.
    const QString altered
        = fromUcs4({0x0000, 0x00A0, 0x2028, 0x2029, 0xFDD0, 0xFDD1, 0xFFFC, 0xFFFD});
    int duplicates = 0;
    for (int first = 0; first < 256; ++first) {
        for (int second = -1; second < 256; ++second) {
            QByteArray bytes(1, char(first));
            if (second >= 0)
                bytes.append(char(second));
            const QString text = Cp932::decode(bytes);
            for (QChar c : text)
                QVERIFY2(!altered.contains(c), bytes.toHex().constData());
            QVERIFY2(Cp932::canEncode(text), bytes.toHex().constData());
            QCOMPARE(Cp932::byteLength(text), Cp932::encode(text).size());
            if (Cp932::encode(text) == bytes)
                continue;
            QVERIFY2(second >= 0 && isDuplicateCode(uint8_t(first), uint8_t(second)),
                bytes.toHex().constData());
            ++duplicates;
        }
    }
    QCOMPARE(duplicates, 374 + 15 + 9);
}

void tst_Cp932::randomBytesRoundTrip()
{
    QRandomGenerator random(932);
    QByteArray bytes;
    while (bytes.size() < 256 * 1024) {
        const auto b = uint8_t(random.bounded(256));
        if (b != 0x87 && b != 0xED && b != 0xEE && b != 0xFA) // the only leads of duplicates
            bytes.append(char(b));
    }
    QCOMPARE(Cp932::encode(Cp932::decode(bytes)), bytes);
}

void tst_Cp932::invalidBytesSurviveUnchanged_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    // UTF-8 is mostly valid code page 932 by chance; what is not, is escaped.
    QTest::newRow("UTF-8 file") << QByteArray("\xE6\x97\xA5\xE8\xA8\x98")
                                << fromUcs4({0x8B4C, 0xFF65, 0x96AA}) + escapeOf(0x98);
    QTest::newRow("UTF-8 cut by the end")
        << QByteArray("\xE3\x81\x82") << fromUcs4({0x7E3A}) + escapeOf(0x82);
    QTest::newRow("zero byte") << QByteArray("a\0b", 3) << u"a"_qs + escapeOf(0x00) + u"b"_qs;
    QTest::newRow("stray lead byte at the end")
        << QByteArray("ab\x82") << u"ab"_qs + escapeOf(0x82);
    QTest::newRow("lead byte before a line break")
        << QByteArray("\x82\r\n") << escapeOf(0x82) + u"\r\n"_qs;
    QTest::newRow("undefined double-byte code")
        << QByteArray("\x85\x40") << escapeOf(0x85) + u"@"_qs;
    QTest::newRow("bytes no code uses")
        << QByteArray("\x80\xA0\xFD\xFE\xFF")
        << escapeOf(0x80) + escapeOf(0xA0) + escapeOf(0xFD) + escapeOf(0xFE) + escapeOf(0xFF);
}

void tst_Cp932::invalidBytesSurviveUnchanged()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(Cp932::decode(bytes), text);
    QCOMPARE(Cp932::encode(text), bytes);
    QCOMPARE(Cp932::byteLength(text), bytes.size());
}

void tst_Cp932::refusesCharactersWithoutAForm_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("encodable");
    QTest::newRow("wave dash") << fromUcs4({0x301C}) << false;
    QTest::newRow("yen sign") << fromUcs4({0x00A5}) << false;
    QTest::newRow("minus sign") << fromUcs4({0x2212}) << false;
    QTest::newRow("e acute") << u"é"_qs << false;
    QTest::newRow("emoji") << fromUcs4({0x1F600}) << false;
    QTest::newRow("lone high surrogate") << QString(QChar(0xD83D)) << false;
    QTest::newRow("lone low surrogate") << QString(QChar(0xDE00)) << false;
    QTest::newRow("escape's high half alone") << QString(QChar(0xDBFF)) << false;
    QTest::newRow("zero") << QString(QChar(0)) << false;
    QTest::newRow("past the user-defined area") << fromUcs4({0xE758}) << false;
    QTest::newRow("Japanese with a line break") << u"日記\nです"_qs << true;
    QTest::newRow("escaped byte") << escapeOf(0x80) << true;
}

void tst_Cp932::refusesCharactersWithoutAForm()
{
    QFETCH(QString, text);
    QFETCH(bool, encodable);
    QCOMPARE(Cp932::canEncode(text), encodable);
    const QList<uint> codePoints = text.toUcs4();
    if (codePoints.size() == 1 && !QChar::isSurrogate(codePoints[0]))
        QCOMPARE(Cp932::canEncode(char32_t(codePoints[0])), encodable);
}

void tst_Cp932::encodingAnUnencodableTextRaises()
{
    try {
        Cp932::encode(u"abc"_qs + fromUcs4({0x1F600}));
        QFAIL("no error raised");
    } catch (const Exception &e) {
        QCOMPARE(e.message(), u"ストリームへの書き込みエラー"_qs);
    }
}

void tst_Cp932::byteLengthMatchesWrittenBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QString();
    QTest::newRow("line breaks count 2") << u"a\nb\n\n"_qs;
    QTest::newRow("mixed widths") << u"日記 diary ｶﾅ①髙"_qs;
    QTest::newRow("escapes") << escapeOf(0x00) + u"x\n"_qs + escapeOf(0xFF);
    QTest::newRow("escape at the end") << u"end"_qs + escapeOf(0x82);
    QTest::newRow("longer than one counting block")
        << QString(u"あ\nｱa"_qs + escapeOf(0x80)).repeated(20000);
}

void tst_Cp932::byteLengthMatchesWrittenBytes()
{
    QFETCH(QString, text);
    QCOMPARE(diaryTextByteLength(text), diaryTextToBytes(text).size());
    QCOMPARE(Cp932::byteLength(text), Cp932::encode(text).size());
}

void tst_Cp932::normalisesLineBreaks_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("normalised");
    QTest::newRow("CR LF stays") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("lone LF") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("lone CR") << QByteArray("a\rb\r") << QByteArray("a\r\nb\r\n");
    QTest::newRow("LF CR") << QByteArray("a\n\rb") << QByteArray("a\r\n\r\nb");
    QTest::newRow("CR CR LF") << QByteArray("\r\r\n") << QByteArray("\r\n\r\n");
    QTest::newRow("LF first, CR last") << QByteArray("\na\r") << QByteArray("\r\na\r\n");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("double-byte with 5C second byte")
        << QByteArray("\x95\x5C\n") << QByteArray("\x95\x5C\r\n");
}

void tst_Cp932::normalisesLineBreaks()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, normalised);
    QCOMPARE(diaryTextToBytes(diaryTextFromBytes(bytes)), normalised);
    QCOMPARE(normalisedByteLength(bytes), normalised.size());
}

void tst_Cp932::diaryTextUsesNewlineInMemoryAndCrLfOnDisk()
{
    QCOMPARE(diaryTextFromBytes("abc\r\n"), u"abc\n"_qs);
    QCOMPARE(diaryTextFromBytes("a\rb\nc\r\n"), u"a\nb\nc\n"_qs);
    QCOMPARE(diaryTextFromBytes("\r\r\n\n\r"), u"\n\n\n\n"_qs);
    // A lead byte never takes a line break as its second byte: it stays an escaped byte.
    QCOMPARE(diaryTextFromBytes("\x88\r\n\x88\n"), QString(u"\U0010FC88\n\U0010FC88\n"_qs));
    QCOMPARE(diaryTextToBytes(u"一\n二"_qs), QByteArray("\x88\xEA\r\n\x93\xF1"));
}

QTEST_GUILESS_MAIN(tst_Cp932)
#include "tst_cp932.moc"
