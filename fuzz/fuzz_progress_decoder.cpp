#include "core/store/progress_store.h"
#include "core/store/property_list.h"
#include "core/store/record_matcher.h"
#include "core/store/stored_record.h"

#include <QSet>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// A load walks the records beside the faces instead of decoding the table: it must give each
// face what the table gives its text, and leave unclaimed exactly the keys no face has. The
// faces stand in the file's order, now and then twice, reversed for half the inputs.
void matchLikeTheTable(QByteArrayView bytes, const std::optional<ProgressTable> &table)
{
    std::vector<FaceDigest> digests;
    if (const std::optional<QList<StoredRecord>> records = decodeStoredRecords(bytes)) {
        for (const StoredRecord &record : *records) {
            if (const std::optional<FaceDigest> digest = digestFromFaceKey(record.key)) {
                digests.push_back(*digest);
                if (digests.size() % 3 == 0)
                    digests.push_back(*digest);
            }
        }
    }
    digests.push_back(faceDigest(u"a face without a record"));
    if (bytes.size() % 2)
        std::reverse(digests.begin(), digests.end());
    std::vector<CardFace> faces(digests.size());
    std::vector<CardFace *> pointers;
    for (CardFace &face : faces)
        pointers.push_back(&face);
    MatchedRecords matched;
    if (matchSavedRecords(bytes, pointers, digests, &matched) != table.has_value())
        __builtin_trap();
    // Walked before the faces are there, as a load walks a table that a save wrote, the records
    // give the same to the same faces.
    if (WalkedRecordsPtr walked = walkSavedRecords(bytes)) {
        std::vector<CardFace> again(digests.size());
        std::vector<CardFace *> pointersAgain;
        for (CardFace &face : again)
            pointersAgain.push_back(&face);
        MatchedRecords matchedAgain;
        if (!table || !matchWalkedRecords(*walked, bytes, pointersAgain, digests, &matchedAgain) ||
            matchedAgain.sources != matched.sources ||
            matchedAgain.loose.size() != matched.loose.size())
            __builtin_trap();
        for (size_t i = 0; i < faces.size(); ++i) {
            if (savedProgressOfFace(again[i]) != savedProgressOfFace(faces[i]))
                __builtin_trap();
        }
    }
    if (!table)
        return;
    for (size_t i = 0; i < faces.size(); ++i) {
        if (savedProgressOfFace(faces[i]) != table->value(digests[i]))
            __builtin_trap();
    }
    const QSet<FaceDigest> inDeck(digests.cbegin(), digests.cend());
    qsizetype unclaimed = 0;
    for (auto it = table->cbegin(); it != table->cend(); ++it)
        unclaimed += inDeck.contains(it.key()) ? 0 : 1;
    for (const auto &[digest, record] : matched.loose.entries())
        unclaimed -= record.use == LooseRecord::Use::Free ? 1 : 0;
    if (unclaimed != 0)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<ProgressTable> table = decodeProgressTable(bytes);
    matchLikeTheTable(bytes, table);
    // Whatever decodes must survive being written and read again.
    if (table) {
        QList<StoredFace> records;
        for (auto it = table->cbegin(); it != table->cend(); ++it) {
            CardFace face;
            face.rating = it.value().rating;
            face.progress = it.value().progress;
            records.append({faceKey(it.key()), face});
        }
        const std::optional<ProgressTable> again =
            decodeProgressTable(encodeProgressTable(records));
        if (!again || *again != *table)
            __builtin_trap();
    }
    return 0;
}
