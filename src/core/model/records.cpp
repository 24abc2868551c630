#include "core/model/records.h"

#include <QRandomGenerator>

#include <cstring>
#include <iterator>

namespace {

// A random (version 4) UUID. QUuid::createUuid() asks the kernel for every one, which costs a
// system call per face when a large deck is read, and the global generator takes a lock for
// each; a generator of each thread, seeded from the global one, is plenty for identifiers that
// only live as long as one reading.
QUuid randomUuid()
{
    thread_local QRandomGenerator64 generator = [] {
        quint32 seed[8];
        QRandomGenerator::global()->fillRange(seed);
        return QRandomGenerator64(seed, std::size(seed));
    }();
    quint64 words[2];
    generator.fillRange(words);
    uchar bytes[16];
    std::memcpy(bytes, words, sizeof bytes);
    bytes[6] = (bytes[6] & 0x0F) | 0x40; // version 4
    bytes[8] = (bytes[8] & 0x3F) | 0x80; // RFC 4122 variant
    return QUuid::fromRfc4122(QByteArrayView(bytes, sizeof bytes));
}

} // namespace

// What a deck of millions of faces costs per face and card, besides the texts.
static_assert(sizeof(void *) != 8 || sizeof(CardFace) == 64);
static_assert(sizeof(void *) != 8 || sizeof(Card) == 80);

QString rawValue(CardFaceProgress progress)
{
    const std::string_view raw = cardFaceProgressRawValues[int(progress)];
    return QString::fromLatin1(raw.data(), qsizetype(raw.size()));
}

std::optional<CardFaceProgress> cardFaceProgressFromRawValue(QStringView raw)
{
    for (CardFaceProgress progress : allCardFaceProgresses) {
        const std::string_view value = cardFaceProgressRawValues[int(progress)];
        if (raw == QLatin1StringView(value.data(), qsizetype(value.size())))
            return progress;
    }
    return std::nullopt;
}

size_t qHash(CardFaceProgress progress, size_t seed) noexcept
{
    return qHash(rawValue(progress), seed);
}

CardFace::CardFace() : m_id(randomUuid())
{
}

CardFace::CardFace(FaceText text) : text(std::move(text)), m_id(randomUuid())
{
}

QString CardFace::id() const
{
    return m_id.toString(QUuid::WithoutBraces).toUpper();
}

size_t qHash(const CardFace &face, size_t seed) noexcept
{
    // An absent value hashes apart from every present one through its flag.
    seed = qHashMulti(seed, face.uuid(), face.cardFaceID.has_value(), face.cardFaceID.value_or(0),
                      face.text, face.rating, face.lastReview.has_value(),
                      face.lastReview.value_or(QDateTime()), face.nextReview.has_value(),
                      face.nextReview.value_or(QDateTime()), face.progressRank, face.progress);
    const ReviewMemory memory = face.memory.value_or(ReviewMemory{});
    return qHashMulti(seed, face.memory.has_value(), memory.stability, memory.difficulty,
                      memory.reviews, memory.lapses, memory.learningStep.has_value(),
                      memory.learningStep.value_or(0));
}

Card::Card() : id(randomUuid())
{
}

Card::Card(QList<CardFace> faces) : faces(std::move(faces)), id(randomUuid())
{
}

double Card::ratingFraction() const
{
    if (faces.isEmpty())
        return 0.0;
    qint64 sum = 0;
    for (const CardFace &face : faces)
        sum += face.rating;
    return double(sum) / (5.0 * double(faces.size()));
}

size_t qHash(const Card &card, size_t seed) noexcept
{
    return qHashMulti(seed, card.id, card.cardID.has_value(), card.cardID.value_or(0),
                      qHashRange(card.faces.cbegin(), card.faces.cend()),
                      static_cast<quint8>(card.progress), card.caption);
}
