#pragma once

#include "core/store/raw_record.h"

#include <QByteArrayView>

// Walks the records of an XML property list holding a progress table, as other tools write it
// (see readRawRecords).
[[nodiscard]] bool readXmlRecords(QByteArrayView bytes, RawRecordVisitor &visitor);
