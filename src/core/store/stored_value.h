#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <variant>

// The values of a record of the progress file as the file holds them.

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

// A record of the progress file as the file holds it, every key kept, including keys that this
// version does not know: a save writes such records back unchanged.

struct StoredRecord
{
    QString key;
    QList<StoredField> fields;

    const StoredValue *value(QStringView name) const;
    // The record's text, or nothing.
    QString text() const;
    friend bool operator==(const StoredRecord &, const StoredRecord &) = default;
};
