#pragma once

#include <QtGlobal>

#include <optional>

// Where the study view stands: the current face of the shown card and the selected card.
struct NavigationState
{
    qsizetype currentFace = 0;
    std::optional<qsizetype> selectedCard;

    friend bool operator==(const NavigationState &, const NavigationState &) = default;
};

// The face navigation wraps: past the last face of a card comes the first face of the next card,
// and after the last card the first one. Going back from the first face shows the previous card
// at its first face. Without a selected card, with no cards, or with a face or card position
// outside the counts, nothing moves.
NavigationState nextFace(NavigationState state, qsizetype faceCount, qsizetype cardCount);
NavigationState previousFace(NavigationState state, qsizetype faceCount, qsizetype cardCount);

// The card buttons stop at both ends and never wrap.
bool canGoToPreviousCard(std::optional<qsizetype> selectedCard, qsizetype cardCount);
bool canGoToNextCard(std::optional<qsizetype> selectedCard, qsizetype cardCount);
// The selection after the button, unchanged where the button is disabled.
std::optional<qsizetype> previousCard(std::optional<qsizetype> selectedCard, qsizetype cardCount);
std::optional<qsizetype> nextCard(std::optional<qsizetype> selectedCard, qsizetype cardCount);
