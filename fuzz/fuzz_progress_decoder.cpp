#include "core/store/property_list.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<ProgressTable> table = decodeProgressTable(bytes);
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
