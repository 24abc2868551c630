#pragma once

#include "core/model/records.h"
#include "core/stats/deck_statistics.h"

#include <QByteArray>
#include <QString>

// The statistics of a deck for the command line: lines of text for people, JSON for programs,
// with the same figures in both.

// The figures of a deck whose progress lives in `progressFilePath`, read from its journals now;
// the deck as loaded, with the journals replayed over its progress.
StatsFigures deckFigures(const DataFile &deck, const QString &progressFilePath,
                         const QDateTime &now, const SchedulerParameters &parameters = {},
                         const StudyDayClock &clock = StudyDayClock());

// Every face of the deck counts under one progress state.
qsizetype faceCountOf(const StatsFigures &figures);

QString statsFiguresText(const StatsFigures &figures, const DataFile &deck);
// The deck's summary and the figures as one JSON object.
QByteArray deckStatsJson(const DataFile &deck, const QString &progressFilePath, bool progressFound,
                         const StatsFigures &figures);
