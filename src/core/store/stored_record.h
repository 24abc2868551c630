#pragma once

#include "core/store/progress_table.h"
#include "core/store/property_list.h"
#include "core/store/stored_value.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

// The extra key that marks since when no face has claimed a record.
inline constexpr char16_t orphanedSinceKey[] = u"orphanedSince";

// Whether a record's key is one that a face's own fields write; every other key is kept.
bool isFaceFieldName(QStringView name);

// Every record of a progress file, in file order (of duplicate keys the last, at its place).
// Nothing when decodeProgressTable would refuse the bytes, or a value is not a plain scalar
// (string, number, boolean, date or data) that can be written back as it was.
[[nodiscard]] std::optional<QList<StoredRecord>> decodeStoredRecords(QByteArrayView bytes);
// Every record of a progress file as decodeStoredRecords reads them, those that a face writes
// exactly so (every field of the face's own of the type the face writes, in its range) as faces
// that write them back the same, the others as they are; each in file order.
struct StoredTable
{
    QList<StoredFace> faces;
    QList<StoredRecord> records;
};
[[nodiscard]] std::optional<StoredTable> decodeStoredTable(QByteArrayView bytes);
// Only the records of the given face keys, found without decoding the others; none when the
// bytes cannot be read so.
[[nodiscard]] QList<StoredRecord> storedRecordsOf(QByteArrayView bytes,
                                                  const QSet<FaceDigest> &keys);

QDateTime dateTimeFromPlistDate(PlistDate date);
PlistDate plistDateFromDateTime(const QDateTime &time);
