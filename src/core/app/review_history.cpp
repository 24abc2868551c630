#include "core/app/review_history.h"

void ReviewHistory::record(Change change)
{
    pushUndo(std::move(change));
    m_redo.clear();
}

void ReviewHistory::pushUndo(Change change)
{
    m_undo.append(std::move(change));
    if (m_undo.size() > limit)
        m_undo.removeFirst();
}

void ReviewHistory::pushRedo(Change change)
{
    m_redo.append(std::move(change));
}

void ReviewHistory::clear()
{
    m_undo.clear();
    m_redo.clear();
}

std::optional<ReviewHistory::Change> ReviewHistory::takeUndo()
{
    if (m_undo.isEmpty())
        return std::nullopt;
    return m_undo.takeLast();
}

std::optional<ReviewHistory::Change> ReviewHistory::takeRedo()
{
    if (m_redo.isEmpty())
        return std::nullopt;
    return m_redo.takeLast();
}
