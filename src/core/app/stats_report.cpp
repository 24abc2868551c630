#include "core/app/stats_report.h"

#include "core/store/progress_table.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

constexpr const char *gradeNames[] = {"again", "hard", "good", "easy"};

QString percent(double share)
{
    return QString::number(share * 100, 'f', 1) + u'%';
}

QString stabilityBinName(int bin)
{
    const auto days = [](double value) { return QString::number(value); };
    if (bin == 0)
        return u"<"_qs + days(stabilityBinEdges[0]) + u'd';
    if (bin == stabilityBinCount - 1)
        return u">="_qs + days(stabilityBinEdges[std::size_t(bin - 1)]) + u'd';
    return days(stabilityBinEdges[std::size_t(bin - 1)]) + u'-' +
           days(stabilityBinEdges[std::size_t(bin)]) + u'd';
}

QString difficultyBinName(int bin)
{
    return QString::number(bin + 1) + u'-' + QString::number(bin + 2);
}

// The first line of a face's text, shortened for one line of a report.
QString excerpt(const QString &text)
{
    QString line = text.section(u'\n', 0, 0, QString::SectionSkipEmpty).simplified();
    if (line.size() > 60)
        line = line.left(59) + u'…';
    return line;
}

const CardFace *faceAt(const DataFile &deck, const HardFace &hard)
{
    if (hard.card < 0 || hard.card >= deck.cards.size())
        return nullptr;
    const QList<CardFace> &faces = deck.cards[hard.card].faces;
    return hard.face >= 0 && hard.face < faces.size() ? &faces[hard.face] : nullptr;
}

struct RetentionTotal
{
    int reviews = 0;
    int correct = 0;
};

RetentionTotal retentionTotal(const StatsFigures &figures)
{
    RetentionTotal total;
    for (const MonthRetention &month : figures.retention) {
        total.reviews += month.reviews;
        total.correct += month.correct;
    }
    return total;
}

} // namespace

qsizetype faceCountOf(const StatsFigures &figures)
{
    qsizetype faces = 0;
    for (int count : figures.facesPerProgress)
        faces += count;
    return faces;
}

StatsFigures deckFigures(const DataFile &deck, const QString &progressFilePath,
                         const QDateTime &now, const SchedulerParameters &parameters,
                         const StudyDayClock &clock)
{
    // The deck as loaded has every journal replayed over it: its faces are up to date.
    DeckStatistics statistics(parameters, clock, now);
    statistics.tallyDeck(deck);
    statistics.setCounts(countDeckReviews(progressFilePath, clock).counts, {});
    return statistics.figures();
}

QString statsFiguresText(const StatsFigures &figures, const DataFile &deck)
{
    QString text;
    QTextStream out(&text);
    out << "Study day: " << figures.today.toString(Qt::ISODate) << '\n';
    out << "Reviews: " << figures.totalReviews;
    for (std::size_t g = 0; g < 4; ++g)
        out << (g ? ", " : " (") << gradeNames[g] << ' ' << figures.reviewsPerGrade[g];
    out << ")\n";
    out << "Reviews today: " << figures.reviewsPerDay.last() << '\n';
    out << "Streak: " << figures.currentStreak << " days (longest " << figures.longestStreak
        << ")\n";
    out << "Due today: " << figures.dueToday << " (learning " << figures.learningToday << ", new "
        << figures.newToday << ")\n";
    out << "Due in the next " << forecastDays << " days:";
    for (int count : figures.forecast)
        out << ' ' << count;
    out << '\n';
    const RetentionTotal total = retentionTotal(figures);
    out << "True retention (" << retentionMonths << " months): "
        << (total.reviews ? percent(double(total.correct) / total.reviews) : u"-"_qs) << " of "
        << total.reviews << " reviews (desired " << percent(figures.desiredRetention) << ")\n";
    out << "Predicted retention now: "
        << (figures.averageRetention ? percent(*figures.averageRetention) : u"-"_qs) << '\n';
    out << "Ratings:";
    for (std::size_t r = 0; r < 4; ++r)
        out << (r ? ", " : " ") << r << ": " << figures.facesPerRating[r];
    out << '\n';
    out << "Stability:";
    for (int bin = 0; bin < stabilityBinCount; ++bin)
        out << (bin ? ", " : " ") << stabilityBinName(bin) << ": "
            << figures.stabilityHistogram[bin];
    out << '\n';
    out << "Difficulty:";
    for (int bin = 0; bin < difficultyBinCount; ++bin)
        out << (bin ? ", " : " ") << difficultyBinName(bin) << ": "
            << figures.difficultyHistogram[bin];
    out << '\n';
    if (!figures.hardest.isEmpty())
        out << "Most lapses:\n";
    for (const HardFace &hard : figures.hardest) {
        const CardFace *face = faceAt(deck, hard);
        out << "  " << hard.lapses << "  Card " << hard.card << ", face " << hard.face << ": "
            << (face ? excerpt(face->text.toString()) : QString()) << '\n';
    }
    return text;
}

QByteArray deckStatsJson(const DataFile &deck, const QString &progressFilePath, bool progressFound,
                         const StatsFigures &figures)
{
    const qsizetype faceCount = faceCountOf(figures);
    const qint64 ratingSum = figures.ratingSum;

    QJsonObject root;
    root[u"title"_qs] = deck.title;
    root[u"cards"_qs] = deck.cards.size();
    root[u"faces"_qs] = faceCount;
    root[u"meanRating"_qs] =
        faceCount ? QJsonValue(double(ratingSum) / double(faceCount)) : QJsonValue();
    root[u"progressFile"_qs] = progressFilePath;
    root[u"progressFound"_qs] = progressFound;
    root[u"studyDay"_qs] = figures.today.toString(Qt::ISODate);

    QJsonObject reviews;
    reviews[u"total"_qs] = figures.totalReviews;
    QJsonObject perGrade;
    for (std::size_t g = 0; g < 4; ++g)
        perGrade[QString::fromLatin1(gradeNames[g])] = figures.reviewsPerGrade[g];
    reviews[u"perGrade"_qs] = perGrade;
    reviews[u"today"_qs] = figures.reviewsPerDay.last();
    reviews[u"currentStreak"_qs] = figures.currentStreak;
    reviews[u"longestStreak"_qs] = figures.longestStreak;
    // Only the days with reviews: a year of mostly empty days says nothing more.
    QJsonArray perDay;
    for (qsizetype i = 0; i < figures.reviewsPerDay.size(); ++i) {
        if (figures.reviewsPerDay[i] == 0)
            continue;
        const QDate day = figures.today.addDays(i - figures.reviewsPerDay.size() + 1);
        perDay.append(QJsonObject{{u"day"_qs, day.toString(Qt::ISODate)},
                                  {u"reviews"_qs, figures.reviewsPerDay[i]},
                                  {u"correct"_qs, figures.correctPerDay[i]}});
    }
    reviews[u"perDay"_qs] = perDay;
    root[u"reviews"_qs] = reviews;

    QJsonObject due;
    due[u"today"_qs] = figures.dueToday;
    due[u"learning"_qs] = figures.learningToday;
    due[u"new"_qs] = figures.newToday;
    QJsonArray forecast;
    for (int count : figures.forecast)
        forecast.append(count);
    due[u"forecast"_qs] = forecast;
    root[u"due"_qs] = due;

    QJsonObject retention;
    retention[u"desired"_qs] = figures.desiredRetention;
    retention[u"predicted"_qs] =
        figures.averageRetention ? QJsonValue(*figures.averageRetention) : QJsonValue();
    QJsonArray perMonth;
    for (const MonthRetention &month : figures.retention) {
        perMonth.append(QJsonObject{
            {u"month"_qs, month.month.toString(u"yyyy-MM")},
            {u"reviews"_qs, month.reviews},
            {u"correct"_qs, month.correct},
            {u"rate"_qs,
             month.reviews ? QJsonValue(double(month.correct) / month.reviews) : QJsonValue()}});
    }
    retention[u"perMonth"_qs] = perMonth;
    root[u"retention"_qs] = retention;

    QJsonObject perProgress;
    for (std::size_t p = 0; p < std::size(allCardFaceProgresses); ++p)
        perProgress[rawValue(allCardFaceProgresses[p])] = figures.facesPerProgress[p];
    root[u"perProgress"_qs] = perProgress;
    QJsonArray perRating;
    for (int count : figures.facesPerRating)
        perRating.append(count);
    root[u"perRating"_qs] = perRating;
    QJsonArray stability;
    for (int bin = 0; bin < stabilityBinCount; ++bin)
        stability.append(QJsonObject{{u"bin"_qs, stabilityBinName(bin)},
                                     {u"faces"_qs, figures.stabilityHistogram[bin]}});
    root[u"stability"_qs] = stability;
    QJsonArray difficulty;
    for (int bin = 0; bin < difficultyBinCount; ++bin)
        difficulty.append(QJsonObject{{u"bin"_qs, difficultyBinName(bin)},
                                      {u"faces"_qs, figures.difficultyHistogram[bin]}});
    root[u"difficulty"_qs] = difficulty;

    QJsonArray hardest;
    for (const HardFace &hard : figures.hardest) {
        const CardFace *face = faceAt(deck, hard);
        hardest.append(QJsonObject{{u"card"_qs, hard.card},
                                   {u"face"_qs, hard.face},
                                   {u"lapses"_qs, hard.lapses},
                                   {u"key"_qs, face ? faceKey(face->text) : QString()},
                                   {u"text"_qs, face ? face->text.toString() : QString()}});
    }
    root[u"hardest"_qs] = hardest;
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
