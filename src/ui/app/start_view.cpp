#include "ui/app/start_view.h"

#include "core/app/recent_files.h"
#include "core/model/deck_title.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString folderOf(const QUrl &file)
{
    if (!file.isLocalFile())
        return file.adjusted(QUrl::RemoveFilename).toDisplayString();
    QString folder = QFileInfo(file.toLocalFile()).absolutePath();
    const QString home = QDir::homePath();
    if (folder == home || folder.startsWith(home + u'/'))
        folder = u'~' + folder.mid(home.size());
    return QDir::toNativeSeparators(folder);
}

} // namespace

StartView::StartView(RecentFiles &recentFiles, const QUrl &exampleDeck, QWidget *parent)
    : QWidget(parent), m_recentFiles(recentFiles),
      m_label(new QLabel(tr("Open a flashcard file."), this)),
      m_recentTitle(new QLabel(tr("Recent Files"), this)), m_recentRows(new QVBoxLayout)
{
    auto *layout = new QVBoxLayout(this);
    layout->addStretch(1);

    m_label->setAlignment(Qt::AlignCenter);
    m_label->setTextFormat(Qt::PlainText);
    m_label->setWordWrap(true);
    layout->addWidget(m_label);

    auto *open = new QPushButton(tr("Open..."), this);
    open->setObjectName(QStringLiteral("openButton"));
    open->setAccessibleDescription(tr("Choose a flashcard file to study"));
    layout->addWidget(open, 0, Qt::AlignHCenter);
    connect(open, &QPushButton::clicked, this, &StartView::openRequested);

    QFont heading = m_recentTitle->font();
    heading.setBold(true);
    m_recentTitle->setFont(heading);
    m_recentTitle->setAlignment(Qt::AlignCenter);
    layout->addSpacing(12);
    layout->addWidget(m_recentTitle);
    m_recentRows->setSpacing(0);
    layout->addLayout(m_recentRows);

    if (!exampleDeck.isEmpty()) {
        auto *example = new QPushButton(tr("Open an example deck"), this);
        example->setObjectName(QStringLiteral("exampleButton"));
        example->setFlat(true);
        example->setToolTip(exampleDeck.toLocalFile());
        layout->addSpacing(12);
        layout->addWidget(example, 0, Qt::AlignHCenter);
        connect(example, &QPushButton::clicked, this,
                [this, exampleDeck] { Q_EMIT openFileRequested(exampleDeck); });
    }
    layout->addStretch(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    connect(&m_recentFiles, &RecentFiles::filesChanged, this, &StartView::rebuildRecentFiles);
    rebuildRecentFiles();
}

QString StartView::text() const
{
    return m_label->text();
}

QStringList StartView::recentFileLabels(const QList<QUrl> &files)
{
    QHash<QString, int> titles;
    for (const QUrl &file : files)
        ++titles[deckTitle(file)];
    QStringList labels;
    labels.reserve(files.size());
    for (const QUrl &file : files) {
        const QString title = deckTitle(file);
        labels.append(
            titles.value(title) > 1
                ? tr("%1 (in %2)", "recent file title and its folder").arg(title, folderOf(file))
                : title);
    }
    return labels;
}

QUrl StartView::findExampleDeck()
{
    const QString relative = QStringLiteral("doc/memoranth/examples/capitals.txt");
    // An installed copy: the data folders of the desktop, then the prefix of this program.
    QString found = QStandardPaths::locate(QStandardPaths::GenericDataLocation, relative);
    if (found.isEmpty()) {
        const QString beside =
            QCoreApplication::applicationDirPath() + QStringLiteral("/../share/") + relative;
        if (QFileInfo(beside).isFile())
            found = QFileInfo(beside).canonicalFilePath();
    }
    return found.isEmpty() ? QUrl() : QUrl::fromLocalFile(found);
}

void StartView::rebuildRecentFiles()
{
    // A row may be the button whose click changed the list: it goes once its click is over.
    while (QLayoutItem *item = m_recentRows->takeAt(0)) {
        if (QWidget *row = item->widget()) {
            row->hide();
            row->deleteLater();
        }
        delete item;
    }
    const QList<QUrl> &files = m_recentFiles.files();
    const QStringList labels = recentFileLabels(files);
    // The File menu's Open Recent holds them all; here a few keep the window's minimum size.
    for (qsizetype i = 0; i < std::min<qsizetype>(files.size(), maximumRows); ++i) {
        // An empty title still needs something to click.
        auto *row = new QPushButton(labels[i].isEmpty() ? files[i].fileName() : labels[i], this);
        row->setObjectName(QStringLiteral("recentFileButton"));
        row->setFlat(true);
        row->setToolTip(files[i].isLocalFile() ? files[i].toLocalFile()
                                               : files[i].toDisplayString());
        row->setAccessibleDescription(tr("Open recent file %1.").arg(labels[i]));
        const QUrl file = files[i];
        connect(row, &QPushButton::clicked, this, [this, file] { Q_EMIT openFileRequested(file); });
        m_recentRows->addWidget(row, 0, Qt::AlignHCenter);
    }
    m_recentTitle->setVisible(!files.isEmpty());
}
