#pragma once

#include "core/store/progress_table.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

// A record of the progress file as the file holds it, every key kept, including keys that this
// version does not know: a save writes such records back unchanged.

// A date of a property list: seconds since 2001-01-01T00:00:00Z.
struct PlistDate
{
    double seconds = 0;
    friend bool operator==(const PlistDate &, const PlistDate &) = default;
};

using StoredValue = std::variant<qint64, double, bool, QString, PlistDate, QByteArray>;

struct StoredField
{
    QString name;
    StoredValue value;
    friend bool operator==(const StoredField &, const StoredField &) = default;
};

struct StoredRecord
{
    QString key;
    QList<StoredField> fields;

    const StoredValue *value(QStringView name) const;
    // The record's text, or nothing.
    QString text() const;
    friend bool operator==(const StoredRecord &, const StoredRecord &) = default;
};

// The extra key that marks since when no face has claimed a record.
inline constexpr char16_t orphanedSinceKey[] = u"orphanedSince";

// Whether a record's key is one that a face's own fields write; every other key is kept.
bool isFaceFieldName(QStringView name);

// Every record of a progress file, in file order (of duplicate keys the last, at its place).
// Nothing when decodeProgressTable would refuse the bytes, or a value is not a plain scalar
// (string, number, boolean, date or data) that can be written back as it was.
std::optional<QList<StoredRecord>> decodeStoredRecords(QByteArrayView bytes);

QDateTime dateTimeFromPlistDate(PlistDate date);
PlistDate plistDateFromDateTime(const QDateTime &time);
