#pragma once

#include "core/model/records.h"
#include "core/store/deck_loader.h"
#include "core/store/face_changes.h"

#include <QUrl>

#include <functional>
#include <optional>

// Where progress files are kept: the application's folder (looked up at every use, as the
// progress store does), a given folder, or none (nothing is read or written).
class ProgressLocation
{
public:
    static ProgressLocation applicationFolder() { return ProgressLocation(Kind::Application, {}); }
    static ProgressLocation givenFolder(QString folder)
    {
        return ProgressLocation(Kind::Given, std::move(folder));
    }
    static ProgressLocation none() { return ProgressLocation(Kind::None, {}); }
    // A given folder, or none when there is no folder.
    static ProgressLocation folder(std::optional<QString> folder)
    {
        return folder ? givenFolder(std::move(*folder)) : none();
    }

    DataFile loadDeck(QStringView text, const QUrl &url, const DataFile *previous = nullptr,
                      LoadReport *report = nullptr,
                      const std::function<void(double)> &progress = {}) const;
    // The deck of the local file at url with its progress (see loadDeckFile).
    std::optional<DataFile> loadFile(const QUrl &url, const DataFile *previous, LoadReport *report,
                                     QString *error, LoadProgress *progress = nullptr) const;
    // False on failure, error then says why.
    [[nodiscard]] bool saveDeck(const QUrl &url, const QList<Card> &cards,
                                const FaceChanges &changes, QString *error) const;
    // This machine's journal of the deck at url, beside its progress file; empty for none.
    QString journalPath(const QUrl &url) const;
    // Where the progress file of the deck at url is, without creating any folder; none when
    // progress is not kept.
    std::optional<QString> progressFilePath(const QUrl &url) const;

private:
    enum class Kind { Application, Given, None };
    ProgressLocation(Kind kind, QString folder) : m_kind(kind), m_folder(std::move(folder)) {}
    // The folder to read and write now; nothing for none, or when the application's folder
    // cannot be had.
    std::optional<QString> currentFolder() const;

    Kind m_kind;
    QString m_folder; // for Kind::Given
};
