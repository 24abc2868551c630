#pragma once

#include "core/store/progress_table.h"

#include <QByteArrayView>

#include <optional>

// Reads an XML property list holding a progress table, as other tools write it.
std::optional<ProgressTable> readXmlProgressTable(QByteArrayView bytes);
