#pragma once

#include "core/model/compact_optional.h"
#include "core/model/face_text.h"
#include "core/model/review_memory.h"

#include <QDateTime>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>
#include <string_view>

// The study state of one face. Raw values are what the progress file stores.
enum class CardFaceProgress : quint8 { New, Learning, Mastered, Archived, Abandoned };

// All cases, in the order the progress picker lists them.
inline constexpr CardFaceProgress allCardFaceProgresses[] = {
    CardFaceProgress::New, CardFaceProgress::Learning, CardFaceProgress::Mastered,
    CardFaceProgress::Archived, CardFaceProgress::Abandoned};

// The raw values of the cases, in their order.
inline constexpr std::string_view cardFaceProgressRawValues[] = {"new", "learning", "mastered",
                                                                 "archived", "abandoned"};

QString rawValue(CardFaceProgress progress);
// Exact, case-sensitive match of one of the five raw values; anything else is no value.
std::optional<CardFaceProgress> cardFaceProgressFromRawValue(QStringView raw);
size_t qHash(CardFaceProgress progress, size_t seed = 0) noexcept;

// The study state of a card; every card starts and stays New.
enum class CardProgress : quint8 { New, Learning, Mastered, Archived, Abandoned };

// One face of a card: its text and its study progress.
class CardFace
{
public:
    CardFace(); // with a fresh random identifier
    explicit CardFace(FaceText text);
    explicit CardFace(QStringView text) : CardFace(FaceText(text)) {}

    // The upper-case text of the face's UUID, fixed when the face is made.
    QString id() const;
    QUuid uuid() const { return m_id; }

    // A deck may hold millions of faces: the fields are packed (see compact_optional.h) and
    // ordered so that a face takes 64 bytes besides the block of its text.
    FaceText text;
    OptionalInstant lastReview;
    OptionalInstant nextReview;
    // What the scheduler remembers of the face; none until its first review.
    BoxedOptional<ReviewMemory> memory;
    OptionalInteger cardFaceID;
    qint8 rating = 0;
    quint8 progressRank = 0;
    CardFaceProgress progress = CardFaceProgress::New;

    friend bool operator==(const CardFace &, const CardFace &) = default;

private:
    // Kept as a UUID rather than its 36-character text, which is derived exactly from it.
    QUuid m_id;
};
// Moved in memory as bytes when a list grows.
Q_DECLARE_TYPEINFO(CardFace, Q_RELOCATABLE_TYPE);
size_t qHash(const CardFace &face, size_t seed = 0) noexcept;

// One card of a deck: its faces in file order.
struct Card
{
    Card(); // with a fresh random identifier
    explicit Card(QList<CardFace> faces);

    QList<CardFace> faces;
    // What the card's marker line says after "===", without surrounding spaces and "="s
    // ("=== Europe" gives "Europe"); empty when it says nothing.
    QString caption;
    QUuid id;
    OptionalInteger cardID;
    CardProgress progress = CardProgress::New;

    // Sum of the faces' ratings over 5 per face: 0 for a card without faces.
    double ratingFraction() const;

    friend bool operator==(const Card &, const Card &) = default;
};
Q_DECLARE_TYPEINFO(Card, Q_RELOCATABLE_TYPE);
size_t qHash(const Card &card, size_t seed = 0) noexcept;

// One open flashcard file: its title and its cards.
struct DataFile
{
    QString title;
    QList<Card> cards;

    friend bool operator==(const DataFile &, const DataFile &) = default;
};
