#pragma once

#include <QWidget>

#include <optional>

class CardView;
class CommandsCoordinator;
class DueSession;
class QLabel;
class QSplitter;
class RecentFiles;
class Sidebar;

// The deck browser: the sidebar beside the study view of the selected card. Owns the
// selection, a card position that survives opening another deck; where the new deck has no
// such card, its first card is selected. A deck without cards says so.
class ContentView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContentView)

public:
    ContentView(CommandsCoordinator &coordinator, RecentFiles &recentFiles,
                QWidget *parent = nullptr);

    std::optional<qsizetype> selectedCardIndex() const { return m_selectedCardIndex; }
    // Selects the card at that position (nothing when absent or beyond the deck) and shows it.
    void setSelectedCardIndex(std::optional<qsizetype> index);

    Sidebar *sidebar() const { return m_sidebar; }
    CardView *cardView() const { return m_cardView; }
    QSplitter *splitter() const { return m_splitter; }
    DueSession *dueSession() const { return m_dueSession; }

private:
    void cardsReplaced();
    void applySelection();

    CommandsCoordinator &m_coordinator;
    DueSession *m_dueSession;
    QSplitter *m_splitter;
    Sidebar *m_sidebar;
    CardView *m_cardView;
    QLabel *m_noCards;
    std::optional<qsizetype> m_selectedCardIndex = 0;
    bool m_applying = false;
};
