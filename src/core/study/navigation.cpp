#include "core/study/navigation.h"

namespace {

bool isValid(const NavigationState &state, qsizetype faceCount, qsizetype cardCount)
{
    return state.selectedCard && *state.selectedCard >= 0 && *state.selectedCard < cardCount &&
           state.currentFace >= 0 && state.currentFace < faceCount;
}

bool isSelected(std::optional<qsizetype> selectedCard, qsizetype cardCount)
{
    return selectedCard && *selectedCard >= 0 && *selectedCard < cardCount;
}

} // namespace

NavigationState nextFace(NavigationState state, qsizetype faceCount, qsizetype cardCount)
{
    if (!isValid(state, faceCount, cardCount))
        return state;
    if (state.currentFace == faceCount - 1)
        return {0, (*state.selectedCard + 1) % cardCount};
    return {state.currentFace + 1, state.selectedCard};
}

NavigationState previousFace(NavigationState state, qsizetype faceCount, qsizetype cardCount)
{
    if (!isValid(state, faceCount, cardCount))
        return state;
    if (state.currentFace != 0)
        return {state.currentFace - 1, state.selectedCard};
    // Both operands are in range, so the sum is never negative.
    return {0, (*state.selectedCard + cardCount - 1) % cardCount};
}

bool canGoToPreviousCard(std::optional<qsizetype> selectedCard, qsizetype cardCount)
{
    return isSelected(selectedCard, cardCount) && *selectedCard > 0;
}

bool canGoToNextCard(std::optional<qsizetype> selectedCard, qsizetype cardCount)
{
    return isSelected(selectedCard, cardCount) && *selectedCard < cardCount - 1;
}

std::optional<qsizetype> previousCard(std::optional<qsizetype> selectedCard, qsizetype cardCount)
{
    return canGoToPreviousCard(selectedCard, cardCount) ? *selectedCard - 1 : selectedCard;
}

std::optional<qsizetype> nextCard(std::optional<qsizetype> selectedCard, qsizetype cardCount)
{
    return canGoToNextCard(selectedCard, cardCount) ? *selectedCard + 1 : selectedCard;
}
