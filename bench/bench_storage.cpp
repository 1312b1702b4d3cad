#include "storage/DiaryText.h"
#include "storage/EntryFiles.h"
#include "storage/EntryWriter.h"
#include "storage/Settings.h"
#include "storage/TextPane.h"
#include "ui/DayMarks.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

class BenchPane : public TextPane
{
public:
    QString text() const override { return m_text; }
    void setText(const QString &text) override { m_text = text; }

private:
    QString m_text;
};

// A diary-like text of about the given number of bytes: kana, kanji, ASCII and line breaks.
QString diaryText(qsizetype bytes)
{
    const QString line = QStringLiteral("今日は晴れ。Walked 5 km to the 駅 and back.\n");
    QString text;
    while (diaryTextByteLength(text) < bytes)
        text += line;
    return text;
}

void BM_DiaryTextByteLength(benchmark::State &state)
{
    const QString text = diaryText(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(diaryTextByteLength(text));
    state.SetBytesProcessed(state.iterations() * diaryTextByteLength(text));
}
BENCHMARK(BM_DiaryTextByteLength)->Arg(1024)->Arg(100 * 1024)->Arg(1024 * 1024);

void BM_LoadEntry10KB(benchmark::State &state)
{
    QTemporaryDir dir;
    DiaryDir = dir.path();
    EntryWriter writer; // stopped before the folder goes
    const QString text = diaryText(10 * 1024);
    saveCurrentEntry(text, 2026, 1, 5);
    writer.waitForAll(); // the file itself is read, not the save in flight
    BenchPane pane;
    for (auto _ : state) {
        pane.setText(QString()); // so every load replaces the text
        loadEntryFile(pane, entryFilePath(2026, 1, 5));
    }
}
BENCHMARK(BM_LoadEntry10KB);

// Two texts in turn, so every save replaces the file, as typing does.
void BM_SaveEntry10KB(benchmark::State &state)
{
    QTemporaryDir dir;
    DiaryDir = dir.path();
    EntryWriter writer; // stopped before the folder goes
    const QString texts[2] = {diaryText(10 * 1024), diaryText(10 * 1024) + u'x'};
    int turn = 0;
    for (auto _ : state)
        saveCurrentEntry(texts[++turn % 2], 2026, 1, 5);
}
BENCHMARK(BM_SaveEntry10KB)->Unit(benchmark::kMicrosecond);

// Leaving the pane without a change: the file already holds the text.
void BM_SaveUnchangedEntry10KB(benchmark::State &state)
{
    QTemporaryDir dir;
    DiaryDir = dir.path();
    EntryWriter writer; // stopped before the folder goes
    const QString text = diaryText(10 * 1024);
    for (auto _ : state)
        saveCurrentEntry(text, 2026, 1, 5);
    writer.waitForAll();
}
BENCHMARK(BM_SaveUnchangedEntry10KB)->Unit(benchmark::kMicrosecond);

// A month change: the marks of a month found in a diary where every day of five years has an
// entry, and some a kept copy beside it.
void BM_DayMarksOfAMonth(benchmark::State &state)
{
    QTemporaryDir dir;
    for (int year = 2022; year <= 2026; ++year) {
        QDir().mkpath(dir.filePath(QString::number(year)));
        for (QDate day(year, 1, 1); day.year() == year; day = day.addDays(1)) {
            const QString name = day.toString(u"MMdd"_qs);
            QFile entry(dir.filePath(QStringLiteral("%1/%2.txt").arg(year).arg(name)));
            entry.open(QIODevice::WriteOnly);
            if (day.day() % 10 == 0) {
                QFile kept(dir.filePath(
                    QStringLiteral("%1/%2.conflict-20260101-101500.txt").arg(year).arg(name)));
                kept.open(QIODevice::WriteOnly);
            }
        }
    }
    int month = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(DayMarks::find(dir.path(), 2026, month++ % 12 + 1, {}));
}
BENCHMARK(BM_DayMarksOfAMonth)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
