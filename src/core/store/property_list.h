#pragma once

#include "core/store/progress_table.h"
#include "core/store/raw_record.h"
#include "core/store/stored_value.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// Our own codec for the progress file. It knows one shape only: a root dictionary of face keys,
// each mapping to the stored record of one face.

// One record to write: the face is stored whole under its key, followed by the fields of its
// old record that the face itself does not write.
struct StoredFace
{
    QString key;
    CardFace face;
    QList<StoredField> extra = {};
    // The identifier the record had in the file it was read from; none: the face's own.
    std::optional<QUuid> id = std::nullopt;
};

// Reads a binary ("bplist00") or XML property list. Nothing when the bytes are not a property
// list of that shape or any record breaks the stored form's rules. Of duplicate keys the last
// counts; a key that is no face key is checked but not kept. Time and memory stay linear in the
// size of the input, whatever it holds.
[[nodiscard]] std::optional<ProgressTable> decodeProgressTable(QByteArrayView bytes);

// Walks a binary ("bplist00") or XML property list holding a progress table; false when the
// bytes are not one (or the visitor refused a record). Only the fixed shape is walked (root
// dictionary, record dictionaries, values), every offset, count and reference checked before
// use, in time and memory linear in the size of the input.
[[nodiscard]] bool readRawRecords(QByteArrayView bytes, RawRecordVisitor &visitor);

// Writes the records, in order, and then the kept records as they are, as a binary property
// list. Key and progress strings are written once and shared by all records.
QByteArray encodeProgressTable(const QList<StoredFace> &records,
                               const QList<StoredRecord> &kept = {});
