// Times the due queue on a deck of a million faces and the scheduling of one review.
#include "core/schedule/due_queue.h"
#include "core/schedule/scheduler.h"

#include "timing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTextStream>

namespace {

// 250,000 cards of four faces: a third never reviewed, a tenth in their learning steps, the
// rest learnt and due within two months either way.
DataFile scheduledDeck(const QDateTime &now)
{
    QRandomGenerator random(7);
    DataFile deck;
    deck.cards.reserve(250'000);
    for (int c = 0; c < 250'000; ++c) {
        QList<CardFace> faces;
        for (int f = 0; f < 4; ++f) {
            CardFace face(QStringLiteral("face %1 of card %2\n").arg(f).arg(c));
            const quint32 kind = random.bounded(30);
            if (kind >= 10) {
                face.memory = ReviewMemory{random.bounded(100.0) + 0.1, random.bounded(9.0) + 1,
                                           qint64(random.bounded(20)), 0, std::nullopt};
                if (kind < 13)
                    face.memory->learningStep = 0;
                const qint64 offset = qint64(random.bounded(120 * 86400)) - 60 * 86400;
                face.nextReview = now.addSecs(face.memory->learningStep ? offset / 1000 : offset);
                face.lastReview = face.nextReview->addDays(-3);
            }
            faces.append(face);
        }
        deck.cards.append(Card(faces));
    }
    return deck;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    DataFile deck = scheduledDeck(now);
    const StudyDayClock clock;

    DueQueue queue;
    const double queueMs = bestOf(5, [&] { queue = buildDueQueue(deck, now, clock, 20); });
    out << "due queue of 1,000,000 faces:       " << QString::number(queueMs, 'f', 1) << " ms ("
        << queue.dueCount << " due, " << queue.newCount << " new)\n";

    // A review as the window makes it: the schedule computed and the face written into the
    // deck, then the queue's next face found again.
    const Scheduler scheduler;
    const UniformSource uniform = systemUniformSource();
    constexpr int reviews = 10'000;
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < reviews; ++i) {
        const QueuedFace &next = queue.faces.at(i % queue.faces.size());
        CardFace face = deck.cards.at(next.card).faces.at(next.face);
        setSchedule(face, scheduler.review(scheduleOf(face), Grade::Good, now, uniform));
        deck.cards[next.card].faces[next.face] = face;
    }
    const double reviewUs = double(timer.nsecsElapsed()) / 1e3 / reviews;
    out << "scheduling one review:              " << QString::number(reviewUs, 'f', 2) << " us\n";
    out.flush();
    return 0;
}
