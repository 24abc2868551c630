#pragma once

#include "core/store/raw_record.h"

#include <QByteArrayView>

#include <functional>
#include <memory>
#include <span>

// Walks the records of a "bplist00" progress table (see readRawRecords).
[[nodiscard]] bool readBinaryRecords(QByteArrayView bytes, RawRecordVisitor &visitor);

// Reads records of a "bplist00" progress table again, one at a time, by the object that a walk
// named them by (the record given to RawRecordVisitor::record).
class BinaryRecordReader
{
public:
    explicit BinaryRecordReader(QByteArrayView bytes);
    ~BinaryRecordReader();
    BinaryRecordReader(const BinaryRecordReader &) = delete;
    BinaryRecordReader &operator=(const BinaryRecordReader &) = delete;

    // Hands the fields of the record to take, as a walk does, and gives what take answers; false
    // without calling it when the object is no record.
    [[nodiscard]] bool read(quint64 record,
                            const std::function<bool(std::span<const RawField>)> &take);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
