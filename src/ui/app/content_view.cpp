#include "ui/app/content_view.h"

#include "core/app/card_list_model.h"
#include "core/app/commands_coordinator.h"
#include "core/app/due_session.h"
#include "ui/browser/sidebar.h"
#include "ui/browser/study_mode_switch.h"
#include "ui/study/card_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QSplitter>

ContentView::ContentView(CommandsCoordinator &coordinator, RecentFiles &recentFiles,
                         QWidget *parent)
    : QWidget(parent), m_coordinator(coordinator), m_dueSession(new DueSession(coordinator, this)),
      m_splitter(new QSplitter(this)), m_sidebar(new Sidebar(coordinator, recentFiles, m_splitter)),
      m_cardView(new CardView(coordinator, m_splitter)), m_noCards(new QLabel(m_splitter))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_splitter);

    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_sidebar);
    m_splitter->addWidget(m_cardView);
    m_noCards->setText(tr("This deck has no cards. A card begins with a line that starts "
                          "with ===."));
    m_noCards->setObjectName(QStringLiteral("noCardsMessage"));
    m_noCards->setAlignment(Qt::AlignCenter);
    m_noCards->setWordWrap(true);
    m_noCards->setMargin(24);
    m_splitter->addWidget(m_noCards);
    m_splitter->setStretchFactor(2, 1);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_sidebar->setMinimumWidth(180);
    m_splitter->setSizes({240, 600});

    QListView *list = m_sidebar->cardList();
    connect(list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                if (m_applying || !current.isValid())
                    return;
                setSelectedCardIndex(m_sidebar->cardModel()->cardAt(current.row()));
            });
    // Connected after the list's own handling of the reset, so the list is ready to select in.
    connect(m_sidebar->cardModel(), &QAbstractItemModel::modelReset, this,
            &ContentView::cardsReplaced);
    connect(m_cardView, &CardView::selectedCardChangeRequested, this,
            &ContentView::setSelectedCardIndex);

    m_sidebar->setStudyModeSwitch(new StudyModeSwitch(*m_dueSession, m_sidebar));
    cardsReplaced();
    m_cardView->setDueSession(m_dueSession);
}

void ContentView::setSelectedCardIndex(std::optional<qsizetype> index)
{
    m_selectedCardIndex = index;
    applySelection();
}

void ContentView::cardsReplaced()
{
    const auto &deck = m_coordinator.dataFile();
    const qsizetype count = deck ? deck->cards.size() : 0;
    m_cardView->setCardCount(count);
    // A selection the deck no longer has would leave the study side blank and every key dead:
    // the first card is shown instead.
    const bool inDeck =
        m_selectedCardIndex && *m_selectedCardIndex >= 0 && *m_selectedCardIndex < count;
    const bool moved = count > 0 && !inDeck;
    if (moved)
        m_selectedCardIndex = 0;
    m_cardView->setVisible(count > 0);
    m_noCards->setVisible(count == 0);
    applySelection();
}

void ContentView::applySelection()
{
    QListView *list = m_sidebar->cardList();
    CardListModel *model = m_sidebar->cardModel();
    const int cards = model->cardCount();
    const bool valid =
        m_selectedCardIndex && *m_selectedCardIndex >= 0 && *m_selectedCardIndex < cards;
    // A card the filter hides stays under study; the list then has no row selected.
    const std::optional<int> row = valid ? model->rowOf(*m_selectedCardIndex) : std::nullopt;
    m_applying = true;
    if (row) {
        const QModelIndex index = model->index(*row);
        list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        list->scrollTo(index);
    } else {
        list->selectionModel()->clear();
    }
    m_applying = false;
    m_cardView->setSelectedCard(valid ? m_selectedCardIndex : std::nullopt);
}
