#include "ui/browser/sidebar.h"

#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "ui/browser/card_list_model.h"
#include "ui/browser/card_list_view.h"
#include "ui/browser/card_row_delegate.h"
#include "ui/browser/drop_zone.h"
#include "ui/browser/file_drop_handler.h"
#include "ui/browser/file_header_view.h"
#include "ui/browser/file_reveal.h"
#include "ui/browser/recent_files_view.h"

#include <QFrame>
#include <QLabel>
#include <QListView>
#include <QVBoxLayout>

Sidebar::Sidebar(CommandsCoordinator &coordinator, RecentFiles &recentFiles, QWidget *parent)
    : QWidget(parent), m_coordinator(coordinator), m_recentFiles(recentFiles),
      m_header(new FileHeaderView(this)), m_cardModel(new CardListModel(coordinator, this)),
      m_cardList(new CardListView(this)), m_recentFilesView(new RecentFilesView(recentFiles, this)),
      m_dropZone(new DropZone(this)), m_dropHandler(new FileDropHandler(coordinator, this)),
      m_revealer(revealInFileManager)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);

    layout->addWidget(m_header);

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
    updateTitle();
}

void Sidebar::setStudyModeSwitch(QWidget *modeSwitch)
{
    static_cast<QVBoxLayout *>(layout())->insertWidget(1, modeSwitch);
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
