// Writes a diary of daily entries for start-up measurements: one entry for every day of the
// given number of years ending with the given year, 1 to 3 KB of Japanese text each.
//
//   orlune-makediary FOLDER YEARS LAST_YEAR

#include "storage/DiaryText.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringList>

#include <cstdio>

namespace {

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
};

QString entryText(QRandomGenerator &random)
{
    const qsizetype target = 1024 + random.bounded(2048);
    QString text;
    while (diaryTextByteLength(text) < target) {
        text += kPhrases.at(random.bounded(kPhrases.size()));
        if (random.bounded(4) == 0)
            text += QLatin1Char('\n');
    }
    return text;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: orlune-makediary FOLDER YEARS LAST_YEAR\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int years = std::atoi(argv[2]);
    const int lastYear = std::atoi(argv[3]);
    QRandomGenerator random(20261208);
    for (int year = lastYear - years + 1; year <= lastYear; ++year) {
        const QString yearFolder = QStringLiteral("%1/%2").arg(folder).arg(year);
        if (!QDir().mkpath(yearFolder))
            return 1;
        for (QDate day(year, 1, 1); day.year() == year; day = day.addDays(1)) {
            QFile file(yearFolder + QLatin1Char('/') + day.toString(QStringLiteral("MMdd"))
                + QStringLiteral(".txt"));
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
                || file.write(diaryTextToBytes(entryText(random))) < 0)
                return 1;
        }
    }
    return 0;
}
