#pragma once

#include <iterator>
#include <string_view>

// The keys of a stored face record, in the record's order, as both property-list readers
// look them up.
enum StoredFaceField : signed char {
    IdField,
    CardFaceIdField,
    TextField,
    RatingField,
    LastReviewField,
    NextReviewField,
    ProgressRankField,
    ProgressField,
    // The scheduler's memory of the face; a reader without them still reads the record.
    StabilityField,
    DifficultyField,
    ReviewsField,
    LapsesField,
    LearningStepField,
    FieldCount
};

inline constexpr std::string_view storedFaceFieldNames[FieldCount] = {
    "id",       "cardFaceID", "text",       "rating",  "lastReview", "nextReview",  "progressRank",
    "progress", "stability",  "difficulty", "reviews", "lapses",     "learningStep"};
