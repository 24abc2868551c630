#pragma once

#include "core/model/records.h"
#include "core/schedule/fsrs.h"

#include <QList>

// The review changes of the open deck that can be undone and redone: each is one face's record
// before and after. Faces are found again by position and text, so an entry whose face is gone
// (after the file was edited and read again) is dropped instead of applied elsewhere.
class ReviewHistory final
{
public:
    struct Change
    {
        qsizetype card = 0;
        qsizetype face = 0;
        CardFace before;
        CardFace after;
        std::optional<Grade> grade; // set for a review
    };

    void record(Change change);
    void clear();

    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }

    // The newest change to undo, or to redo, taken off its list. The caller writes the record
    // and, when it could, puts the change on the other list.
    std::optional<Change> takeUndo();
    std::optional<Change> takeRedo();
    void pushUndo(Change change);
    void pushRedo(Change change);

    // Most changes a user would undo in one sitting; the oldest are forgotten beyond it.
    static constexpr qsizetype limit = 1000;

private:
    QList<Change> m_undo;
    QList<Change> m_redo;
};
