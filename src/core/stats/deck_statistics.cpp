#include "core/stats/deck_statistics.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr qint64 msPerDay = 24 * 60 * 60 * 1000;

bool isStudied(CardFaceProgress progress)
{
    return progress != CardFaceProgress::Archived && progress != CardFaceProgress::Abandoned;
}

SchedulePhase phaseOf(const StatsFace &face)
{
    if (!face.memory)
        return SchedulePhase::New;
    if (!face.memory->learningStep)
        return SchedulePhase::Review;
    return face.memory->lapses > 0 ? SchedulePhase::Relearning : SchedulePhase::Learning;
}

std::optional<qint64> msecs(const std::optional<QDateTime> &instant)
{
    return instant ? std::optional(instant->toMSecsSinceEpoch()) : std::nullopt;
}

StatsFace statsFace(const CardFace &record, qsizetype card, qsizetype face)
{
    StatsFace result;
    result.card = card;
    result.face = face;
    result.rating = record.rating;
    result.progress = record.progress;
    result.memory = record.memory;
    result.lastReview = msecs(record.lastReview);
    result.nextReview = msecs(record.nextReview);
    return result;
}

QDate monthOfKey(qint64 key)
{
    const auto year = int(key >= 0 ? key / 12 : (key - 11) / 12);
    return QDate(year, int(key - qint64(year) * 12) + 1, 1);
}

// The face's fields after the change the record made.
void takeRecord(StatsFace &face, const JournalRecord &record)
{
    face.rating = record.rating;
    face.progress = record.progress;
    face.memory = record.memory;
    face.lastReview = record.lastReview;
    face.nextReview = record.nextReview;
}

} // namespace

FaceSlots faceSlotsByDigest(const DataFile &deck)
{
    FaceSlots slots;
    qsizetype slot = 0;
    for (const Card &card : deck.cards) {
        for (const CardFace &face : card.faces)
            slots.insert(faceDigest(face.text), slot++);
    }
    return slots;
}

DeckStatistics::DeckStatistics(const SchedulerParameters &parameters, const StudyDayClock &clock,
                               const QDateTime &now)
    : m_parameters(parameters), m_model(parameters.weights), m_clock(clock), m_counts(clock)
{
    setNow(now);
}

void DeckStatistics::setNow(const QDateTime &now)
{
    m_now = now.toMSecsSinceEpoch();
    m_today = m_clock.studyDay(now);
    for (int i = 0; i <= forecastDays; ++i)
        m_dayStarts[std::size_t(i)] = m_clock.startOf(m_today.addDays(i)).toMSecsSinceEpoch();
    resetFaceFigures();
}

void DeckStatistics::setParameters(const SchedulerParameters &parameters)
{
    m_parameters = parameters;
    m_model = FsrsModel(parameters.weights);
    resetFaceFigures();
}

void DeckStatistics::setDeck(const DataFile &deck)
{
    m_faces.clear();
    m_cardOffsets.clear();
    m_slotsByDigest.clear();
    m_cardOffsets.reserve(deck.cards.size());
    for (qsizetype c = 0; c < deck.cards.size(); ++c) {
        m_cardOffsets.append(m_faces.size());
        const QList<CardFace> &faces = deck.cards[c].faces;
        for (qsizetype f = 0; f < faces.size(); ++f)
            m_faces.append(statsFace(faces[f], c, f));
    }
    resetFaceFigures();
}

void DeckStatistics::tallyDeck(const DataFile &deck)
{
    m_faces = {};
    m_cardOffsets = {};
    m_slotsByDigest.clear();
    resetFaceFigures();
    for (qsizetype c = 0; c < deck.cards.size(); ++c) {
        const QList<CardFace> &faces = deck.cards[c].faces;
        for (qsizetype f = 0; f < faces.size(); ++f) {
            const StatsFace face = statsFace(faces[f], c, f);
            tallyFace(face, +1);
            keepIfHard(face);
        }
    }
}

// Faces come in deck order: one with as many lapses as the last kept stays behind it.
void DeckStatistics::keepIfHard(const StatsFace &face)
{
    const qint64 lapses = face.memory ? face.memory->lapses : 0;
    if (lapses <= 0 || (m_hardest.size() == hardestFaceCount && m_hardest.last().lapses >= lapses))
        return;
    const auto at = std::find_if(m_hardest.begin(), m_hardest.end(),
                                 [lapses](const HardFace &kept) { return kept.lapses < lapses; });
    m_hardest.insert(at, {face.card, face.face, lapses});
    if (m_hardest.size() > hardestFaceCount)
        m_hardest.removeLast();
}

void DeckStatistics::setCounts(ReviewCounts counts, FaceSlots slots)
{
    m_counts = std::move(counts);
    m_slotsByDigest = std::move(slots);
}

void DeckStatistics::reset(const QList<JournalRecord> &journal, const DataFile &deck)
{
    setDeck(deck);
    m_slotsByDigest = faceSlotsByDigest(deck);
    m_counts = ReviewCounts(m_clock);
    // A face the deck knows no schedule of takes the one its text last had in the journal.
    QList<bool> fromJournal(m_faces.size());
    for (qsizetype slot = 0; slot < m_faces.size(); ++slot)
        fromJournal[slot] = !m_faces[slot].memory;
    for (const JournalRecord &record : journal) {
        m_counts.add(record);
        for (auto it = m_slotsByDigest.constFind(record.face);
             it != m_slotsByDigest.cend() && it.key() == record.face; ++it) {
            if (!fromJournal[*it])
                continue;
            StatsFace &face = m_faces[*it];
            const qint8 rating = face.rating;
            const CardFaceProgress progress = face.progress;
            takeRecord(face, record);
            face.rating = rating;
            face.progress = progress;
        }
    }
    resetFaceFigures();
}

void DeckStatistics::addRecord(const JournalRecord &record)
{
    m_counts.add(record);
    for (auto it = m_slotsByDigest.constFind(record.face);
         it != m_slotsByDigest.cend() && it.key() == record.face; ++it) {
        StatsFace face = m_faces[*it];
        takeRecord(face, record);
        replaceFace(*it, face);
    }
}

void DeckStatistics::updateCard(qsizetype index, const Card &card)
{
    if (index < 0 || index >= m_cardOffsets.size())
        return;
    const qsizetype first = m_cardOffsets[index];
    const qsizetype end =
        index + 1 < m_cardOffsets.size() ? m_cardOffsets[index + 1] : m_faces.size();
    for (qsizetype f = 0; f < card.faces.size() && first + f < end; ++f)
        replaceFace(first + f, statsFace(card.faces[f], index, f));
}

void DeckStatistics::tallyFace(const StatsFace &face, int sign)
{
    m_progress[std::size_t(face.progress)] += sign;
    m_ratings[std::size_t(std::clamp<int>(face.rating, 0, 3))] += sign;
    m_ratingSum += sign * face.rating;
    if (face.memory) {
        const double stability = face.memory->stability;
        const auto edge =
            std::upper_bound(stabilityBinEdges.begin(), stabilityBinEdges.end(), stability);
        m_stability[edge - stabilityBinEdges.begin()] += sign;
        const int difficultyBin =
            std::clamp(int(std::floor(face.memory->difficulty)) - 1, 0, difficultyBinCount - 1);
        m_difficulty[difficultyBin] += sign;
    }
    if (!isStudied(face.progress))
        return;

    const SchedulePhase phase = phaseOf(face);
    if (phase == SchedulePhase::New) {
        m_new += sign;
        return;
    }
    if (face.lastReview) {
        const qint64 elapsed = std::max<qint64>(0, (m_now - *face.lastReview) / msPerDay);
        m_retentionSum += sign * m_model.retrievability(double(elapsed), face.memory->stability);
        m_retentionCount += sign;
    }
    // A scheduled face without a date is due now.
    const qint64 due = face.nextReview.value_or(m_now);
    const auto next = std::upper_bound(m_dayStarts.begin(), m_dayStarts.end(), due);
    const qsizetype day = std::max<qsizetype>(0, next - m_dayStarts.begin() - 1);
    if (day >= forecastDays)
        return;
    m_forecast[day] += sign;
    if (day == 0) {
        if (phase == SchedulePhase::Review)
            m_due += sign;
        else
            m_learning += sign;
    }
}

void DeckStatistics::replaceFace(qsizetype slot, const StatsFace &face)
{
    const qint64 lapsesBefore = m_faces[slot].memory ? m_faces[slot].memory->lapses : 0;
    tallyFace(m_faces[slot], -1);
    m_faces[slot] = face;
    tallyFace(face, +1);
    if ((face.memory ? face.memory->lapses : 0) != lapsesBefore)
        findHardest();
}

void DeckStatistics::resetFaceFigures()
{
    m_forecast = QList<int>(forecastDays, 0);
    m_due = m_learning = m_new = 0;
    m_retentionSum = 0;
    m_retentionCount = 0;
    m_progress = {};
    m_ratings = {};
    m_ratingSum = 0;
    m_stability = QList<int>(stabilityBinCount, 0);
    m_difficulty = QList<int>(difficultyBinCount, 0);
    for (const StatsFace &face : std::as_const(m_faces))
        tallyFace(face, +1);
    findHardest();
}

void DeckStatistics::findHardest()
{
    // Ties keep deck order, so the list does not shuffle between updates.
    QList<qsizetype> slots;
    for (qsizetype slot = 0; slot < m_faces.size(); ++slot) {
        if (m_faces[slot].memory && m_faces[slot].memory->lapses > 0)
            slots.append(slot);
    }
    const auto count = std::min<qsizetype>(hardestFaceCount, slots.size());
    std::partial_sort(slots.begin(), slots.begin() + count, slots.end(),
                      [this](qsizetype a, qsizetype b) {
                          const qint64 la = m_faces[a].memory->lapses;
                          const qint64 lb = m_faces[b].memory->lapses;
                          return la != lb ? la > lb : a < b;
                      });
    m_hardest.clear();
    for (qsizetype i = 0; i < count; ++i) {
        const StatsFace &face = m_faces[slots[i]];
        m_hardest.append({face.card, face.face, face.memory->lapses});
    }
}

StatsFigures DeckStatistics::figures() const
{
    StatsFigures figures;
    figures.today = m_today;
    const qint64 today = m_today.toJulianDay();
    figures.reviewsPerDay.reserve(heatmapDays);
    figures.correctPerDay.reserve(heatmapDays);
    for (qint64 day = today - heatmapDays + 1; day <= today; ++day) {
        const DayBin bin = m_counts.days().value(day);
        figures.reviewsPerDay.append(bin.reviews);
        figures.correctPerDay.append(bin.correct);
    }

    // Runs of consecutive days with reviews; a day without any yet does not break the streak
    // until it is over.
    qint64 runStart = 0;
    qint64 previous = 0;
    bool inRun = false;
    const QMap<qint64, DayBin> &days = m_counts.days();
    for (auto it = days.cbegin(); it != days.cend(); ++it) {
        if (it.value().reviews <= 0 || it.key() > today)
            continue;
        if (!inRun || it.key() != previous + 1)
            runStart = it.key();
        inRun = true;
        previous = it.key();
        figures.longestStreak = std::max(figures.longestStreak, int(previous - runStart + 1));
    }
    if (inRun && previous >= today - 1)
        figures.currentStreak = int(previous - runStart + 1);
    figures.totalReviews = m_counts.totalReviews();
    figures.reviewsPerGrade = m_counts.reviewsPerGrade();

    figures.forecast = m_forecast;
    figures.dueToday = m_due;
    figures.learningToday = m_learning;
    const int introducedToday = days.value(today).introduced;
    figures.newToday =
        std::clamp(m_parameters.newFacesPerDay - introducedToday, 0, std::max(0, m_new));

    const qint64 thisMonth = monthKey(m_today);
    for (qint64 key = thisMonth - retentionMonths + 1; key <= thisMonth; ++key) {
        MonthRetention month = m_counts.months().value(key);
        month.month = monthOfKey(key);
        figures.retention.append(month);
    }
    figures.desiredRetention = m_parameters.desiredRetention;
    if (m_retentionCount > 0)
        figures.averageRetention = m_retentionSum / m_retentionCount;

    figures.facesPerProgress = m_progress;
    figures.facesPerRating = m_ratings;
    figures.ratingSum = m_ratingSum;
    figures.stabilityHistogram = m_stability;
    figures.difficultyHistogram = m_difficulty;
    figures.hardest = m_hardest;
    return figures;
}
