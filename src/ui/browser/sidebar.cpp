#include "ui/browser/sidebar.h"

#include "core/app/card_list_model.h"
#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "ui/browser/card_list_view.h"
#include "ui/browser/card_row_delegate.h"
#include "ui/browser/drop_zone.h"
#include "ui/browser/file_drop_handler.h"
#include "ui/browser/file_header_view.h"
#include "ui/browser/file_reveal.h"
#include "ui/browser/recent_files_view.h"

#include <QAction>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QShortcut>
#include <QVBoxLayout>

Sidebar::Sidebar(CommandsCoordinator &coordinator, RecentFiles &recentFiles, QWidget *parent)
    : QWidget(parent), m_coordinator(coordinator), m_recentFiles(recentFiles),
      m_header(new FileHeaderView(this)), m_cardModel(new CardListModel(coordinator, this)),
      m_cardFilter(new QLineEdit(this)), m_filterCount(new QLabel(this)),
      m_cardList(new CardListView(this)), m_recentFilesView(new RecentFilesView(recentFiles, this)),
      m_dropZone(new DropZone(this)), m_dropHandler(new FileDropHandler(coordinator, this)),
      m_revealer(revealInFileManager)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    layout->addWidget(m_header);

    const QKeySequence find(QKeySequence::Find);
    m_cardFilter->setObjectName(QStringLiteral("cardFilter"));
    m_recentFilesView->setObjectName(QStringLiteral("recentFilesView"));
    m_dropZone->setObjectName(QStringLiteral("dropZone"));
    m_cardFilter->setPlaceholderText(
        tr("Filter cards (%1)").arg(find.toString(QKeySequence::NativeText)));
    m_cardFilter->setAccessibleName(tr("Filter cards"));
    m_cardFilter->setToolTip(tr("Show only the cards whose caption or text contain these words"));
    m_cardFilter->setClearButtonEnabled(true);
    // A file dropped on the field opens, as anywhere on the sidebar.
    m_cardFilter->setAcceptDrops(false);
    m_cardFilter->installEventFilter(this);
    auto *filterRow = new QHBoxLayout;
    filterRow->setContentsMargins(6, 0, 6, 0);
    filterRow->addWidget(m_cardFilter);
    layout->addLayout(filterRow);
    m_filterCount->setObjectName(QStringLiteral("cardFilterCount"));
    m_filterCount->setForegroundRole(QPalette::PlaceholderText);
    m_filterCount->setAlignment(Qt::AlignCenter);
    m_filterCount->hide();
    layout->addWidget(m_filterCount);
    auto *findShortcut = new QShortcut(find, this);
    findShortcut->setContext(Qt::WindowShortcut);
    connect(findShortcut, &QShortcut::activated, this, &Sidebar::focusFilter);

    m_cardList->setModel(m_cardModel);
    m_cardList->setItemDelegate(new CardRowDelegate(m_cardList));
    m_cardList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_cardList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_cardList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_cardList->setFrameShape(QFrame::NoFrame);
    // Single keys and arrows belong to the study view's window-wide shortcuts; the list takes
    // focus only when clicked, and never by tabbing into it.
    m_cardList->setFocusPolicy(Qt::ClickFocus);
    m_cardList->setAccessibleName(tr("Cards"));
    // A few cards stay in view however short the window.
    m_cardList->setMinimumHeight(4 * (fontMetrics().height() + 6));
    layout->addWidget(m_cardList, 1);

    auto *separator = new QFrame(this);
    separator->setFrameShape(QFrame::HLine);
    separator->setFrameShadow(QFrame::Sunken);
    layout->addWidget(separator);

    auto *recentTitle = new QLabel(tr("Recent Files"), this);
    recentTitle->setAlignment(Qt::AlignCenter);
    layout->addWidget(recentTitle);
    layout->addWidget(m_recentFilesView);
    layout->addWidget(m_dropZone);

    m_dropHandler->attach(this);

    connect(m_header, &FileHeaderView::endStudyingRequested, this,
            [this] { m_coordinator.open(std::nullopt); });
    connect(m_recentFilesView, &RecentFilesView::openRequested, this,
            [this](const QUrl &file) { m_coordinator.open(file); });
    connect(m_recentFilesView, &RecentFilesView::removeRequested, this,
            [this](const QUrl &file) { m_recentFiles.remove(file); });
    connect(m_recentFilesView, &RecentFilesView::revealRequested, this, [this](const QUrl &file) {
        if (m_revealer)
            m_revealer(file);
    });
    connect(&m_coordinator, &CommandsCoordinator::dataFileChanged, this, &Sidebar::updateTitle);
    connect(m_cardFilter, &QLineEdit::textChanged, m_cardModel, &CardListModel::setFilter);
    connect(m_cardModel, &QAbstractItemModel::modelReset, this, &Sidebar::updateFilterCount);
    updateTitle();
}

void Sidebar::setStudyModeSwitch(QWidget *modeSwitch)
{
    static_cast<QVBoxLayout *>(layout())->insertWidget(1, modeSwitch);
}

void Sidebar::focusFilter()
{
    m_cardFilter->setFocus(Qt::ShortcutFocusReason);
    m_cardFilter->selectAll();
}

void Sidebar::updateFilterCount()
{
    m_filterCount->setVisible(m_cardModel->isFiltered());
    if (m_cardModel->isFiltered())
        m_filterCount->setText(tr("%1 of %2 cards")
                                   .arg(QLocale().toString(m_cardModel->rowCount()),
                                        QLocale().toString(m_cardModel->cardCount())));
}

bool Sidebar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_cardFilter && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Escape:
            // Empties the field, then hands the keys back to the study view.
            if (!m_cardFilter->text().isEmpty())
                m_cardFilter->clear();
            else
                m_cardList->setFocus(Qt::OtherFocusReason);
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Down:
            // On to the matching cards: the first is chosen unless one is already.
            if (m_cardModel->rowCount() > 0) {
                if (!m_cardList->selectionModel()->hasSelection())
                    m_cardList->setCurrentIndex(m_cardModel->index(0));
                m_cardList->setFocus(Qt::OtherFocusReason);
            }
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Sidebar::setFileRevealer(FileRevealer revealer)
{
    m_revealer = std::move(revealer);
}

void Sidebar::updateTitle()
{
    const auto &deck = m_coordinator.dataFile();
    m_header->setTitle(deck ? deck->title : QString());
}
