// Times the search over a generated ten-year diary (3,650 entries of about 2 KB, about 7 MB in
// code page 932): the first complete results with the page cache warm and cold, later queries
// on the folded texts kept meanwhile (median and worst), and the memory the scan keeps.
//
//   orlune-benchsearch [FOLDER]     FOLDER: an existing diary to search instead of a new one
//
// The cold run drops the page cache (sync; echo 3 > /proc/sys/vm/drop_caches), which only root
// may; otherwise it says so and reports no cold figure.

#include "search/DiaryScanner.h"
#include "search/SearchQuery.h"
#include "search/TextFold.h"
#include "storage/DiaryText.h"
#include "storage/EntryListing.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <malloc.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr int kYears = 10;
constexpr int kLastYear = 2025;

const QStringList kPhrases = {
    QStringLiteral("今日は朝から雨が降っていた。"),
    QStringLiteral("駅前の本屋で新しい小説を買った。"),
    QStringLiteral("昼は同僚と蕎麦を食べに行った。"),
    QStringLiteral("夕方、川沿いを三十分ほど散歩した。"),
    QStringLiteral("母から電話があり、来月の予定を話した。"),
    QStringLiteral("仕事の資料が思ったより早く片付いた。"),
    QStringLiteral("夜は久しぶりに映画を観て、少し泣いた。"),
    QStringLiteral("庭の梅がようやく咲き始めた。"),
    QStringLiteral("風が冷たく、冬の近さを感じる。"),
    QStringLiteral("明日は早起きして図書館へ行くつもりだ。"),
    QStringLiteral("10時～11時に会議、ＡＢＣ社の件。"),
};
// Rarer words, as a person searches for them.
const QStringList kRare = {
    QStringLiteral("カナダの友人から手紙が届いた。"),
    QStringLiteral("病院で検査を受けた。"),
    QStringLiteral("ｶﾞｯｺｳの同窓会の知らせ。"),
    QStringLiteral("佐藤さんと昼食。"),
};
const QStringList kQueries = {
    QStringLiteral("雨"),
    QStringLiteral("かなだ"),
    QStringLiteral("病院 母"),
    QStringLiteral("ｶﾅﾀﾞ"),
    QStringLiteral("〜"),
    QStringLiteral("散歩した"),
    QStringLiteral("図書館へ行く"),
    QStringLiteral("xyz"),
    QStringLiteral("夕方、川沿い"),
    QStringLiteral("の"),
    QStringLiteral("abc社"),
    QStringLiteral("がっこう"),
    QStringLiteral("佐藤"),
    QStringLiteral("冬 梅 映画"),
    QStringLiteral("見つからない言葉"),
    QStringLiteral("小説"),
    QStringLiteral("た。"),
    QStringLiteral("電話"),
    QStringLiteral("ＡＢＣ"),
    QStringLiteral("蕎麦"),
};

QString entryText(QRandomGenerator &random)
{
    const qsizetype target = 1500 + random.bounded(1100);
    QString text;
    while (diaryTextByteLength(text) < target) {
        text += random.bounded(40) == 0 ? kRare.at(random.bounded(kRare.size()))
                                        : kPhrases.at(random.bounded(kPhrases.size()));
        if (random.bounded(4) == 0)
            text += QLatin1Char('\n');
    }
    return text;
}

qint64 makeDiary(const QString &folder)
{
    QRandomGenerator random(20261210);
    qint64 bytes = 0;
    for (int year = kLastYear - kYears + 1; year <= kLastYear; ++year) {
        const QString yearFolder = QStringLiteral("%1/%2").arg(folder).arg(year);
        QDir().mkpath(yearFolder);
        for (int i = 0; i < 365; ++i) {
            const QDate day = QDate(year, 1, 1).addDays(i);
            QFile file(yearFolder + day.toString(QStringLiteral("/MMdd")) + ".txt");
            const QByteArray content = diaryTextToBytes(entryText(random));
            if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
                return -1;
            bytes += content.size();
        }
    }
    return bytes;
}

double residentMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

bool dropPageCache()
{
    ::sync();
    std::ofstream drop("/proc/sys/vm/drop_caches");
    drop << "3" << std::endl;
    return bool(drop);
}

QList<SearchSource> listed(const QString &folder)
{
    QList<SearchSource> sources;
    for (const EntryListing::Entry &entry : EntryListing::inDiary(folder))
        sources.append({entry.year, entry.month, entry.day, entry.path, entry.kept, {}});
    return sources;
}

// Processor time of the whole process (both threads), which the machine's load does not inflate
// as it does the wall-clock time.
double processorMs()
{
    timespec now {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Timing
{
    double firstRowMs = 0;
    double completeMs = 0;
    double processorMs = 0;
    int days = 0;
    int hits = 0;
};

Timing timeSearch(DiaryScanner &scanner, const QString &folder, const QString &query)
{
    Timing timing;
    QElapsedTimer clock;
    QEventLoop loop;
    double startCpu = 0;
    const auto rows = QObject::connect(&scanner, &DiaryScanner::found, &loop, [&] {
        if (timing.firstRowMs == 0)
            timing.firstRowMs = clock.nsecsElapsed() / 1e6;
    });
    const auto done
        = QObject::connect(&scanner, &DiaryScanner::finished, &loop, [&](int days, int hits) {
              timing.completeMs = clock.nsecsElapsed() / 1e6;
              timing.processorMs = processorMs() - startCpu;
              timing.days = days;
              timing.hits = hits;
              loop.quit();
          });
    startCpu = processorMs();
    clock.start();
    scanner.search(SearchQuery(query), folder, {});
    loop.exec();
    QObject::disconnect(rows);
    QObject::disconnect(done);
    return timing;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir made;
    QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : made.path();
    if (argc <= 1) {
        const qint64 bytes = makeDiary(folder);
        if (bytes < 0)
            return 1;
        std::printf("diary: %d entries, %.1f MB in code page 932\n", kYears * 365, bytes / 1e6);
    }

    // What every query pays before matching: the listing, and a look at each file.
    {
        QElapsedTimer clock;
        clock.start();
        const QList<SearchSource> sources = listed(folder);
        const double listing = clock.nsecsElapsed() / 1e6;
        clock.restart();
        for (const SearchSource &source : sources) {
            struct stat st
            {
            };
            ::stat(QFile::encodeName(source.path).constData(), &st);
        }
        std::printf("listing the diary: %.1f ms; a look at every file: %.1f ms\n", listing,
            clock.nsecsElapsed() / 1e6);
    }

    {
        QElapsedTimer clock;
        clock.start();
        TextFold::fold(u"a");
        std::printf("fold table made in %.1f ms (on the search thread as the window opens)\n",
            clock.nsecsElapsed() / 1e6);
    }

    const double before = residentMiB();
    auto scanner = std::make_unique<DiaryScanner>(listed);
    const Timing warm = timeSearch(*scanner, folder, QStringLiteral("カナダ"));
    std::printf("first search, page cache warm (every entry read and folded):"
                " first row %.1f ms, complete %.1f ms, processor %.1f ms (%d days, %d hits)\n",
        warm.firstRowMs, warm.completeMs, warm.processorMs, warm.days, warm.hits);
    const double open = residentMiB();
    const struct mallinfo2 heap = mallinfo2();
    std::printf("heap: %.1f MiB in use, %.1f MiB free in the arenas, %.1f MiB mapped\n",
        heap.uordblks / 1048576.0, heap.fordblks / 1048576.0, heap.hblkhd / 1048576.0);

    QList<double> times;
    QList<double> processor;
    for (int round = 0; round < 3; ++round) {
        for (const QString &query : kQueries) {
            const Timing later = timeSearch(*scanner, folder, query);
            times.append(later.completeMs);
            processor.append(later.processorMs);
            if (round == 0)
                std::printf("  %s: %.1f ms (processor %.1f ms), %d days, %d hits\n",
                    qPrintable(query), later.completeMs, later.processorMs, later.days, later.hits);
        }
    }
    std::sort(times.begin(), times.end());
    std::sort(processor.begin(), processor.end());
    std::printf("later queries (%lld): median %.1f ms, worst %.1f ms; processor median %.1f ms,"
                " worst %.1f ms\n",
        static_cast<long long>(times.size()), times[times.size() / 2], times.last(),
        processor[processor.size() / 2], processor.last());
    const double searched = residentMiB();
    scanner.reset();
    const double closed = residentMiB();
    std::printf("memory: %.1f MiB more while open (%.1f after the queries), %.1f MiB more once"
                " closed\n",
        open - before, searched - before, closed - before);

    if (!dropPageCache()) {
        std::printf("cold: not measured (dropping the page cache needs root)\n");
        return 0;
    }
    scanner = std::make_unique<DiaryScanner>(listed);
    const Timing cold = timeSearch(*scanner, folder, QStringLiteral("カナダ"));
    std::printf("first search, page cache dropped: first row %.1f ms, complete %.1f ms,"
                " processor %.1f ms\n",
        cold.firstRowMs, cold.completeMs, cold.processorMs);
    return 0;
}
