#pragma once

#include <QList>
#include <QString>

#include <optional>

// Finding the record that a face had before its text was edited. The rule is conservative: a
// face that might have been meant as another one stays new rather than take the wrong record.
//
// - Texts equal but for whitespace at the ends of lines, empty lines at the end and line ends
//   always match.
// - Otherwise both texts must have at least 8 characters (trimmed), share at least one word,
//   and differ by an edit distance of at most 20 % of the longer one.
// - The best candidate must be clearly better than the second best (see clearlyBetter()); when
//   it is not, a single candidate that stood next to the face (within 3 faces) wins, else none.
// - Each record goes to one face at most, each face takes one record at most; a record wanted
//   by several faces goes to the clearly best of them, or to none.

// A text that has lost its record, or a record that no face claims.
struct ReattachText
{
    QString text;
    // Where the face stands or stood in its file (its running face number); none: unknown.
    std::optional<qint64> position;
};

struct Reattached
{
    qsizetype face;   // index into the faces
    qsizetype record; // index into the records
    friend bool operator==(const Reattached &, const Reattached &) = default;
};

// The texts compared with whitespace at line ends, trailing empty lines and surrounding
// whitespace removed.
QString reattachNormalized(QStringView text);

// Whether the two texts are near enough for a face of one to take the record of the other.
bool nearlySameText(QStringView face, QStringView record);

// Pairs of faces and records by the rule above.
QList<Reattached> reattach(const QList<ReattachText> &faces, const QList<ReattachText> &records);
