#pragma once

#include "core/model/records.h"

#include <QUrl>

#include <optional>

// The file's text and location -> the deck with its saved progress merged, from the progress
// folder of the application.
DataFile loadDataFile(QStringView text, const QUrl &url);
// As above, with the progress folder given (none: no saved progress).
DataFile loadDataFile(QStringView text, const QUrl &url,
                      const std::optional<QString> &progressFolder);
