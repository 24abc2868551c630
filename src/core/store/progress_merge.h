#pragma once

#include "core/store/face_changes.h"
#include "core/store/property_list.h"
#include "core/store/stored_record.h"

#include <QDateTime>

// A progress table as a save writes it: records written from faces (with the fields of their
// old record that a face does not write), and records kept as they were read.
struct MergedTable
{
    QList<StoredFace> faces;
    QList<StoredRecord> kept;

    qsizetype size() const { return faces.size() + kept.size(); }
    bool isEmpty() const { return size() == 0; }
};

// How long a record that no face claims is kept, counted from its "orphanedSince" date.
inline constexpr int orphanKeepDays = 180;

// The table that a save of the deck writes over the table on disk. The deck's changed faces
// (and every face the table lacks) are written from the deck; every other record of the disk
// is kept: the deck's unchanged faces as the disk has them, records that no face claims marked
// with the date since when none has, and dropped once that is orphanKeepDays past. The records
// of the disk table are moved into the result: pass a table that nothing else shares, or it is
// copied first.
MergedTable mergeProgress(const QList<Card> &cards, MergedTable disk, const FaceChanges &changes,
                          const QDateTime &now);
