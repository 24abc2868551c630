#pragma once

#include "core/model/records.h"

#include <optional>

// Cuts a flashcard text into cards and faces, every face new and unrated.
// Never fails: a text without cards gives an empty list.
QList<Card> readCards(QStringView text);

// The whole content of a local file decoded as UTF-8; nothing when it cannot be read or the
// bytes are not UTF-8.
[[nodiscard]] std::optional<QString> readUtf8File(const QString &path);
