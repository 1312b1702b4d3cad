#include "DiaryFixture.h"
#include "storage/DiaryText.h"
#include "storage/Settings.h"
#include "ui/Calendar.h"
#include "ui/DiaryPane.h"
#include "ui/MainForm.h"
#include "ui/SettingsForm.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTest>

#include <benchmark/benchmark.h>
#include <memory>

namespace {

const QDate kToday(2026, 12, 8);

// A diary-like text of about the given number of bytes: kana, kanji, ASCII and line breaks.
QString diaryText(qsizetype bytes, QChar tag = QLatin1Char('a'))
{
    const QString line = QStringLiteral("今日は晴れ。駅まで5キロ歩いて、帰りに本屋へ寄った。") + tag
        + QLatin1Char('\n');
    const qsizetype lineBytes = diaryTextByteLength(line);
    return line.repeated(int((bytes + lineBytes - 1) / lineBytes));
}

// The tests' diary and windows, with texts written as the program writes them and the start-up
// run through before the first measurement.
class Diary : public DiaryFixture
{
public:
    explicit Diary(int charsToSave) : DiaryFixture(kToday)
    {
        if (!useDiary(QByteArray::number(charsToSave)))
            qFatal("cannot write the settings file");
    }
    void writeText(int year, int month, int day, const QString &text)
    {
        if (!writeEntry(year, month, day, diaryTextToBytes(text)))
            qFatal("cannot write an entry");
    }
    TfrmMain &startShown()
    {
        TfrmMain &w = start();
        QApplication::processEvents();
        return w;
    }
};

// Five entries on each of two days, different texts, so every load replaces all five panes.
void BM_PageLoad(benchmark::State &state)
{
    Diary diary(20);
    for (int i = 0; i < TfrmMain::kPaneCount; ++i) {
        diary.writeText(kToday.year() - i, 12, 8, diaryText(state.range(0), QLatin1Char('a')));
        diary.writeText(kToday.year() - i, 12, 9, diaryText(state.range(0), QLatin1Char('b')));
    }
    TfrmMain &w = diary.startShown();
    // The day changes between loads without the calendar's own reload.
    w.Calendar1->OnChange = nullptr;
    int day = 8;
    for (auto _ : state) {
        day = day == 8 ? 9 : 8;
        state.PauseTiming();
        w.Calendar1->setDay(day);
        state.ResumeTiming();
        w.loadFiveYearPage(kToday.year());
    }
    state.SetBytesProcessed(state.iterations() * TfrmMain::kPaneCount * state.range(0));
}
BENCHMARK(BM_PageLoad)
    ->Arg(2 * 1024)
    ->Arg(100 * 1024)
    ->Arg(1024 * 1024)
    ->Unit(benchmark::kMicrosecond);

void sendKey(QWidget *target, int key, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &release);
}

// Puts text of about the given size into memToday, caret at the end, its length in bytes
// leaving `remainder` after division by the interval.
void prepareToday(TfrmMain &w, qsizetype bytes, int remainder)
{
    QString text = diaryText(bytes);
    const qsizetype length = diaryTextByteLength(text);
    text += QString((remainder - length % CharsToSave + CharsToSave) % CharsToSave, u'x');
    w.memToday->setPlainText(text);
    w.memToday->moveCursor(QTextCursor::End);
    w.memToday->setFocus();
    QApplication::processEvents();
}

// One typed character, then one Backspace, in turn: neither reaches a multiple of 99, so
// nothing is saved. The repaint the key asks for is part of what the user waits for.
void BM_Keystroke(benchmark::State &state)
{
    Diary diary(99);
    TfrmMain &w = diary.startShown();
    prepareToday(w, state.range(0), 50);
    bool typed = false;
    for (auto _ : state) {
        if (typed)
            sendKey(w.memToday, Qt::Key_Backspace, QString());
        else
            sendKey(w.memToday, Qt::Key_A, QStringLiteral("a"));
        typed = !typed;
        QApplication::processEvents();
    }
}
BENCHMARK(BM_Keystroke)
    ->Arg(1024)
    ->Arg(100 * 1024)
    ->Arg(1024 * 1024)
    ->Unit(benchmark::kMicrosecond);

// The keystroke that reaches a multiple of the interval and rewrites the entry file: "a" and
// "b" in turn, since a text the file already holds is not written again. The flush and the
// rename happen on the entry writer's thread, beside the keystroke.
void BM_KeystrokeThatSaves10KB(benchmark::State &state)
{
    Diary diary(20);
    TfrmMain &w = diary.startShown();
    prepareToday(w, 10 * 1024, 19);
    bool b = false;
    for (auto _ : state) {
        sendKey(
            w.memToday, b ? Qt::Key_B : Qt::Key_A, b ? QStringLiteral("b") : QStringLiteral("a"));
        b = !b;
        QApplication::processEvents();
        state.PauseTiming();
        sendKey(w.memToday, Qt::Key_Backspace, QString());
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_KeystrokeThatSaves10KB)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    // Windows are made but never need a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
