#pragma once

#include "core/store/raw_record.h"

#include <QByteArrayView>

// Walks the records of a "bplist00" progress table (see readRawRecords).
[[nodiscard]] bool readBinaryRecords(QByteArrayView bytes, RawRecordVisitor &visitor);
