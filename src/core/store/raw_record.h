#pragma once

#include "core/store/progress_table.h"

#include <QSet>
#include <QString>

#include <limits>
#include <optional>
#include <span>
#include <string_view>

// The records of a progress file as its readers walk them, before anything is made of them:
// strings and data point into the bytes being read, so that a caller that only wants a few
// values of each record (the saved progress of a face) allocates nothing for the rest.

// A string as the file holds it: single bytes (binary ASCII strings, data), big-endian UTF-16
// (binary strings) or UTF-16 in memory (XML).
struct RawString
{
    enum Encoding : quint8 { Latin1, Utf16BigEndian, Utf16 };
    const void *data = nullptr;
    qsizetype size = 0; // characters (bytes for data)
    Encoding encoding = Latin1;

    QString toString() const;
    void copyTo(char16_t *out) const; // size characters
    QByteArray toBytes() const;       // for data: the bytes as they are
    bool equals(std::string_view ascii) const;
    // The digest of a face key; nothing for any other text.
    std::optional<FaceDigest> faceDigest() const;
};

struct RawValue
{
    enum class Type : quint8 { Other, Integer, Real, Boolean, String, Date, Data };
    static constexpr quint64 noObject = std::numeric_limits<quint64>::max();

    Type type = Type::Other; // Other: a container, or anything else no record holds
    bool flag = false;
    qint64 integer = 0;
    double real = 0; // a real, or a date's seconds since 2001-01-01T00:00:00Z
    RawString string;
    // The value's object, when the file shares objects between records; else noObject.
    quint64 object = noObject;
};

struct RawField
{
    RawString name;
    // The StoredFaceField that the name is, or -1.
    int faceField = -1;
    RawValue value;
};

// Receives the records of one progress file. Readers hand the records over from the last in the
// file to the first, and skip a key that wants() refuses: a visitor that remembers the keys it
// has seen thereby sees only the last of duplicate keys, as the file means them.
class RawRecordVisitor
{
public:
    virtual ~RawRecordVisitor() = default;
    // Whether the record of this key is looked at.
    virtual bool wants(const RawString &key) = 0;
    // A record, its fields in file order (a later field of the same name counts). record names
    // it within the file; shared is true when several keys of the file hold it, and then it
    // comes only once: the other keys come through sharedRecord(). False refuses the file.
    virtual bool record(const RawString &key, quint64 record, bool shared,
                        std::span<const RawField> fields) = 0;
    virtual bool sharedRecord(const RawString &key, quint64 record) = 0;
    // A record of a key that wants() took which is no record at all: not a dictionary, or one
    // whose fields cannot be found. False refuses the file, as by default; true passes over it.
    virtual bool brokenRecord(const RawString &key)
    {
        Q_UNUSED(key);
        return false;
    }
};

// The keys of a progress file that are no face key, as a visitor that keeps only face records
// meets them: each is made into a string to tell a repeated key, and the text they take is
// bounded like the walk itself, however many the file holds.
class OtherKeys
{
public:
    explicit OtherKeys(qsizetype fileSize) : m_budget(4 * quint64(fileSize) + 1024) {}

    // What a visitor's wants() answers for such a key: whether the key is new. A key over the
    // budget is wanted too, and isRefused() then tells the visitor to refuse its record.
    bool wants(const RawString &key);
    bool isRefused() const { return m_refused; }
    // The record of the last key wanted was taken: a repeat of the key is not looked at.
    void keep() { m_keys.insert(m_key); }

private:
    quint64 m_budget;
    bool m_refused = false;
    QString m_key;
    QSet<QString> m_keys;
};

// What a record gives back to a face, by the rules of the stored form: "id" and "text" strings,
// "rating" an integer of -128 to 127, "progressRank" one of 0 to 255, "progress" one of the raw
// values, "cardFaceID" an integer and the dates dates when present. Nothing when the record
// breaks them. The scheduler's values are taken when usable (see storedReviewMemory).
std::optional<SavedProgress> savedProgressOf(std::span<const RawField> fields);
