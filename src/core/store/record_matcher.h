#pragma once

#include "core/model/records.h"
#include "core/store/digest_table.h"

#include <QByteArrayView>

#include <functional>
#include <memory>
#include <span>
#include <vector>

// Giving the faces of a freshly read deck the records of its progress file without first
// decoding the file into a table: a save writes the records in deck order, so the records are
// walked in file order beside the faces, and a record goes straight to the face it stands
// beside. Only the records that do not meet their face so (edited or moved faces, faces of
// another deck with the same title, records that no face claims) are kept in a table by digest.

// Where a face's progress came from.
enum class FaceRecord : quint8 {
    None,     // no record of its text
    InOrder,  // the record that stood beside it in the file
    ByDigest, // a record found by its digest after the walk
    Journal,  // no record in the file, but one in the journals
};

// A record of the progress file that no face met in file order.
struct LooseRecord
{
    enum class Use : quint8 {
        Free,       // no face of its text
        Taken,      // a face of its text took it
        Superseded, // an earlier record of a key that the file holds again further on
    };
    SavedProgress saved;
    // Its text and the position it gives ("cardFaceID"): what matching an edited face needs.
    QString text;
    std::optional<qint64> position;
    Use use = Use::Free;
    // False for a face that only the journals know: there is no text to match.
    bool inFile = true;
    // It carries the date since when no face claims it, which a face that takes it clears.
    bool markedOrphan = false;
};

struct MatchedRecords
{
    // For each face, where its progress came from.
    std::vector<FaceRecord> sources;
    // The records that no face met in file order, added from the end of the file to its start.
    DigestTable<LooseRecord> loose;
    // Whether a face took a record that is marked as claimed by none.
    bool markedRecordClaimed = false;
};

// Gives every face the progress of the last record of its text in the bytes of a progress file,
// and tells which records no face claims. digests holds the digest of each face's text. False,
// with the faces as they were, when the bytes are not a progress table that
// decodeProgressTable would read (any record breaking the stored form refuses the whole file,
// as there). Time and memory stay linear in the size of the input and the number of faces.
// walkedPast, if given, is told now and then of a stretch of the bytes [from, to) that the walk
// has gone past and is not expected to read again; nothing taken from the bytes points into
// them. It answers whether to go on: false stops the walk, which then gives false as for bytes
// that are no progress table.
[[nodiscard]] bool
matchSavedRecords(QByteArrayView bytes, std::span<CardFace *const> faces,
                  std::span<const FaceDigest> digests, MatchedRecords *result,
                  const std::function<bool(qsizetype from, qsizetype to)> &walkedPast = {});

// The records of a progress file walked before the faces are there to meet them, so that the
// walk can go on while the deck is read: what each record gives back to a face, in the order of
// the walk. Only for a table as a save writes it (binary, every key a face key, no record
// shared by keys nor breaking the stored form); any other file is matched by matchSavedRecords.
class WalkedRecords;
struct WalkedRecordsDeleter
{
    void operator()(WalkedRecords *records) const noexcept;
};
using WalkedRecordsPtr = std::unique_ptr<WalkedRecords, WalkedRecordsDeleter>;

// The records of bytes, walked; nothing when the bytes are not such a table or walkedPast (as
// for matchSavedRecords) stopped the walk.
[[nodiscard]] WalkedRecordsPtr
walkSavedRecords(QByteArrayView bytes,
                 const std::function<bool(qsizetype from, qsizetype to)> &walkedPast = {});

// As matchSavedRecords, for the records walked from the same bytes before, which are used up
// (each face takes the schedule its record held). False, with the faces as they were, when the
// bytes no longer hold what the walk met: match them with matchSavedRecords then.
[[nodiscard]] bool matchWalkedRecords(WalkedRecords &records, QByteArrayView bytes,
                                      std::span<CardFace *const> faces,
                                      std::span<const FaceDigest> digests, MatchedRecords *result);
