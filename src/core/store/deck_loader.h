#pragma once

#include "core/model/records.h"
#include "core/store/face_changes.h"
#include "core/store/file_stamp.h"
#include "core/store/load_progress.h"

#include <QUrl>

#include <functional>
#include <optional>

// The file's text and location -> the deck with its saved progress merged, from the progress
// folder of the application.
DataFile loadDataFile(QStringView text, const QUrl &url);
// As above, with the progress folder given (none: no saved progress).
DataFile loadDataFile(QStringView text, const QUrl &url,
                      const std::optional<QString> &progressFolder);

// What a reading of a deck found beyond the records of its faces' texts.
struct LoadReport
{
    // Faces whose text was edited and that took over the record of their old text.
    FaceChanges changes;
    qsizetype reattachedFaces = 0;
    // Where those faces are in the deck: card and face.
    QList<std::pair<qsizetype, qsizetype>> reattachedPlaces;
    // Records of the progress file that no face of the deck claims.
    qsizetype unclaimedRecords = 0;
    // The progress file as the reading found it, when writing the deck over it would change
    // nothing that cannot wait for the next change of a face: faces without a record or
    // records that no face claims (marked later, such a record is only kept longer), another
    // encoding or order of the same records. None when a save is owed: faces whose journaled
    // state or old record (changes) the file lacks, a claimed record still marked as claimed by
    // none (its stale date would cut short its keep once the face is cut again), records that
    // stand far from their faces' order (each reading would look them up again), and no file
    // or one that is no progress table.
    std::optional<StampedFile> progressFileAsRead;
};

// As above; a face whose text has no record may take over the record of its old text (see
// reattachment.h). previous: the deck as it was before an edit of the same file, whose faces
// at the same place are looked at first. progress, if given, is told how far the reading got,
// from 0 to 1, now and then.
DataFile loadDataFile(QStringView text, const QUrl &url,
                      const std::optional<QString> &progressFolder, const DataFile *previous,
                      LoadReport *report, const std::function<void(double)> &progress = {});
// As above, for the cards already read from the file's text.
DataFile withSavedProgress(QList<Card> cards, const QUrl &url,
                           const std::optional<QString> &progressFolder, const DataFile *previous,
                           LoadReport *report, const std::function<void(double)> &progress = {});

// The cards of the flashcard file at path, read and cut a piece at a time so that its whole text
// is never held; nothing when it cannot be read or is not UTF-8 text, error then saying why as
// readUtf8TextFile does. progress, if given, is told the share of the file read so far; a
// reading cancelled there stops at the next piece and gives nothing, without an error.
// before: the deck as it was before an edit of the file, whose cards lend their texts to the
// cards that read the same.
std::optional<QList<Card>> readCardsFromFile(const QString &path, QString *error = nullptr,
                                             LoadProgress *progress = nullptr,
                                             const QList<Card> *before = nullptr);

// The deck of the flashcard file at path with its saved progress, as readCardsFromFile and
// loadDataFile give it; the progress file is read meanwhile, beside the deck. progress, if
// given, is told how far the reading got over all its steps; cancelled there, the reading stops
// at its next step and gives nothing, without an error. Nothing when the file cannot be read.
std::optional<DataFile> loadDeckFile(const QString &path, const QUrl &url,
                                     const std::optional<QString> &progressFolder,
                                     const DataFile *previous, LoadReport *report,
                                     QString *error = nullptr, LoadProgress *progress = nullptr);
