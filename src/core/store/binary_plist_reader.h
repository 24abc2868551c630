#pragma once

#include "core/store/progress_table.h"

#include <QByteArrayView>

#include <optional>

// Reads a "bplist00" progress table. Walks only the table's fixed shape, checks every offset,
// count and reference before use, and does work bounded by the size of the input.
std::optional<ProgressTable> readBinaryProgressTable(QByteArrayView bytes);
