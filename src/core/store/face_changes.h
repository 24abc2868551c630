#pragma once

#include "core/store/progress_table.h"

#include <QHash>
#include <QSet>

// What this process did to the records of a deck's faces since it last read them. A save
// writes these faces over the table it finds on disk and keeps the file's record of every
// other face, so that two writers of one progress file do not undo each other's reviews.
struct FaceChanges
{
    // Every face of the deck (a deck replaced as a whole).
    bool all = false;
    // Faces, by the digest of their text, whose record this process changed.
    QSet<FaceDigest> changed;
    // Faces whose text was edited and that took over the record of their old text: the new
    // digest, and the digest of the record it replaces.
    QHash<FaceDigest, FaceDigest> reattached;

    bool isEmpty() const { return !all && changed.isEmpty() && reattached.isEmpty(); }
    bool contains(const FaceDigest &face) const
    {
        return all || changed.contains(face) || reattached.contains(face);
    }
    // Adds changes made after these.
    void add(const FaceChanges &later)
    {
        all = all || later.all;
        changed.unite(later.changed);
        for (auto it = later.reattached.cbegin(); it != later.reattached.cend(); ++it)
            reattached.insert(it.key(), it.value());
    }
    static FaceChanges everyFace()
    {
        FaceChanges changes;
        changes.all = true;
        return changes;
    }
};
