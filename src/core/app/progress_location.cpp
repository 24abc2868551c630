#include "core/app/progress_location.h"

#include "core/store/deck_loader.h"
#include "core/store/progress_store.h"
#include "core/store/review_journal.h"

std::optional<QString> ProgressLocation::currentFolder() const
{
    switch (m_kind) {
    case Kind::Application:
        return progressDirectory();
    case Kind::Given:
        return m_folder;
    case Kind::None:
        return std::nullopt;
    }
    Q_UNREACHABLE();
}

DataFile ProgressLocation::loadDeck(QStringView text, const QUrl &url, const DataFile *previous,
                                    LoadReport *report,
                                    const std::function<void(double)> &progress) const
{
    return loadDataFile(text, url, currentFolder(), previous, report, progress);
}

std::optional<DataFile> ProgressLocation::loadFile(const QUrl &url, const DataFile *previous,
                                                   LoadReport *report, QString *error,
                                                   LoadProgress *progress) const
{
    return loadDeckFile(url.toLocalFile(), url, currentFolder(), previous, report, error, progress);
}

bool ProgressLocation::saveDeck(const QUrl &url, const QList<Card> &cards,
                                const FaceChanges &changes, QString *error) const
{
    return saveProgress(url, cards, currentFolder(), changes, QDateTime::currentDateTimeUtc(),
                        error);
}

QString ProgressLocation::journalPath(const QUrl &url) const
{
    const std::optional<QString> folder = currentFolder();
    if (!folder || url.isEmpty())
        return {};
    return ::journalPath(progressFileURL(url, *folder).toLocalFile(), journalMachineId());
}

std::optional<QString> ProgressLocation::progressFilePath(const QUrl &url) const
{
    const QString folder = m_kind == Kind::Application ? progressDirectoryLocation()
                           : m_kind == Kind::Given     ? m_folder
                                                       : QString();
    if (folder.isEmpty())
        return std::nullopt;
    return progressFileURL(url, folder).toLocalFile();
}
