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
    FieldCount
};

inline constexpr std::string_view storedFaceFieldNames[FieldCount] = {
    "id", "cardFaceID", "text", "rating", "lastReview", "nextReview", "progressRank", "progress"};
