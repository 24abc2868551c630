#pragma once

#include "core/model/records.h"
#include "core/schedule/fsrs.h"

#include <QString>

// The review actions on one face, as pure functions: the face view applies the outcome.
//
// A face view is keyed by its whole face record, so when an action changes the record the view
// is replaced by a fresh one, masked again. `hidden` is the flag the action leaves on the
// current view; `faceChanged` says whether that view is replaced.
struct ReviewOutcome
{
    CardFace face;
    bool hidden = true;
    bool writeFace = false;   // write `face` back into the deck (and so save the progress)
    bool faceChanged = false; // `face` differs from the face before the action
    bool goToNextFace = false;
    // Set when the action is a review: the grade the scheduler takes it for.
    std::optional<Grade> grade;

    // Whether the face is shown masked once the outcome is applied: a replaced view starts
    // masked whatever the action did to the old one.
    bool showsMasked() const { return faceChanged || hidden; }
};

// The highest rating the review actions reach.
inline constexpr qint8 maximumRating = 3;

// Raises the rating by one up to 3 (a higher stored rating falls to 3), moves a new face to
// learning and reveals the text. Always writes the face; a review graded Good.
ReviewOutcome markCorrect(const CardFace &face);

// Lowers the rating by one down to 0 (only the lower bound applies: 7 gives 6) and reveals the
// text; the progress is kept. Always writes the face; a review graded Again.
ReviewOutcome markIncorrect(const CardFace &face);

// A review with a grade of the four: Again is markIncorrect, and Hard, Good and Easy are
// recalls that move the rating and progress as markCorrect does.
ReviewOutcome gradeFace(const CardFace &face, Grade grade);

// Masks the face and moves on to the next face; the face is not written.
ReviewOutcome passFace(const CardFace &face);

// Reveals hidden passages or hides them again; the face is not written.
ReviewOutcome toggleHidden(const CardFace &face, bool hidden);

// The progress picker: sets any state directly and writes the face.
ReviewOutcome chooseProgress(const CardFace &face, bool hidden, CardFaceProgress progress);

// The user-visible name of a progress state, translated in the "Progress" context.
QString progressLabel(CardFaceProgress progress);
