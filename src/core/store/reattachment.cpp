#include "core/store/reattachment.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

constexpr qsizetype minimumLength = 8;
constexpr double maximumDistance = 0.20;
constexpr qint64 neighbourhood = 3;
// A word in more records than this says little about which record a face had; it is not used
// to find candidates as long as the face has a rarer word.
constexpr qsizetype commonWord = 64;

constexpr int noMatch = std::numeric_limits<int>::max();

// Levenshtein distance, or noMatch when it is above limit. Only the band of width 2 * limit + 1
// around the diagonal is computed, and a row whose cells all pass the limit ends the search.
int boundedDistance(QStringView a, QStringView b, int limit)
{
    const qsizetype n = a.size();
    const qsizetype m = b.size();
    if (std::abs(n - m) > limit)
        return noMatch;
    const int big = limit + 1;
    std::vector<int> previous(size_t(m + 1)), current(size_t(m + 1));
    for (qsizetype j = 0; j <= m; ++j)
        previous[size_t(j)] = j <= limit ? int(j) : big;
    for (qsizetype i = 1; i <= n; ++i) {
        const qsizetype from = std::max<qsizetype>(1, i - limit);
        const qsizetype to = std::min<qsizetype>(m, i + limit);
        current[0] = i <= limit ? int(i) : big;
        if (from > 1)
            current[size_t(from - 1)] = big;
        int rowBest = current[0];
        for (qsizetype j = from; j <= to; ++j) {
            const int substitution = previous[size_t(j - 1)] + (a[i - 1] == b[j - 1] ? 0 : 1);
            const int deletion = previous[size_t(j)] + 1;
            const int insertion = current[size_t(j - 1)] + 1;
            const int cell = std::min({substitution, deletion, insertion, big});
            current[size_t(j)] = cell;
            rowBest = std::min(rowBest, cell);
        }
        if (to < m)
            current[size_t(to + 1)] = big;
        if (rowBest > limit)
            return noMatch;
        std::swap(previous, current);
    }
    return previous[size_t(m)] <= limit ? previous[size_t(m)] : noMatch;
}

// The words of a text, case-folded: runs of letters and digits.
QSet<QString> wordsOf(QStringView text)
{
    QSet<QString> words;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool inWord = i < text.size() && text[i].isLetterOrNumber();
        if (inWord && start < 0)
            start = i;
        if (!inWord && start >= 0) {
            words.insert(text.mid(start, i - start).toString().toCaseFolded());
            start = -1;
        }
    }
    return words;
}

int editLimit(qsizetype longer)
{
    return int(double(longer) * maximumDistance);
}

// A candidate beats another clearly when it needs fewer edits by at least two and by a third.
bool clearlyBetter(int best, int second)
{
    return second == noMatch || (second >= best + 2 && 3 * second >= 4 * best + 3);
}

struct Candidate
{
    qsizetype other;
    int edits;
    bool neighbour;
};

// Of one side's candidates, the one that wins by the rule; -1 for none.
qsizetype winner(QList<Candidate> candidates)
{
    if (candidates.isEmpty())
        return -1;
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate &x, const Candidate &y) { return x.edits < y.edits; });
    if (candidates.size() == 1 || clearlyBetter(candidates[0].edits, candidates[1].edits))
        return candidates[0].other;
    // Candidates that are not clearly worse than the best: one of them beside the face wins.
    qsizetype neighbour = -1;
    for (const Candidate &candidate : candidates) {
        if (clearlyBetter(candidates[0].edits, candidate.edits))
            break;
        if (candidate.neighbour) {
            if (neighbour >= 0)
                return -1;
            neighbour = candidate.other;
        }
    }
    return neighbour;
}

} // namespace

QString reattachNormalized(QStringView text)
{
    QString result;
    result.reserve(text.size());
    qsizetype lineStart = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != u'\n' && text[i] != u'\r')
            continue;
        QStringView line = text.mid(lineStart, i - lineStart);
        while (!line.isEmpty() && line.back().isSpace())
            line.chop(1);
        result += line;
        result += u'\n';
        // A carriage return and line feed are one line end here.
        if (i + 1 < text.size() && text[i] == u'\r' && text[i + 1] == u'\n')
            ++i;
        lineStart = i + 1;
    }
    return result.trimmed();
}

bool nearlySameText(QStringView face, QStringView record)
{
    const QString a = reattachNormalized(face);
    const QString b = reattachNormalized(record);
    if (a == b)
        return true;
    if (a.size() < minimumLength || b.size() < minimumLength)
        return false;
    if (!wordsOf(a).intersects(wordsOf(b)))
        return false;
    return boundedDistance(a, b, editLimit(std::max(a.size(), b.size()))) != noMatch;
}

QList<Reattached> reattach(const QList<ReattachText> &faces, const QList<ReattachText> &records)
{
    if (faces.isEmpty() || records.isEmpty())
        return {};
    QList<QString> recordTexts;
    recordTexts.reserve(records.size());
    QHash<QString, QList<qsizetype>> byText;
    QHash<QString, QList<qsizetype>> byWord;
    for (qsizetype r = 0; r < records.size(); ++r) {
        recordTexts.append(reattachNormalized(records[r].text));
        byText[recordTexts.last()].append(r);
        if (recordTexts.last().size() >= minimumLength) {
            for (const QString &word : wordsOf(recordTexts.last()))
                byWord[word].append(r);
        }
    }
    const auto isNeighbour = [&](qsizetype face, qsizetype record) {
        const auto &a = faces[face].position;
        const auto &b = records[record].position;
        return a && b && std::abs(*a - *b) <= neighbourhood;
    };

    // Each face's choice, with the edits it needs; then each record goes to one face.
    QHash<qsizetype, QList<Candidate>> wantedBy; // record -> faces choosing it
    std::vector<qint64> seen(size_t(records.size()), -1);
    for (qsizetype f = 0; f < faces.size(); ++f) {
        const QString text = reattachNormalized(faces[f].text);
        QList<Candidate> candidates;
        if (const auto same = byText.constFind(text); same != byText.cend()) {
            for (qsizetype r : *same)
                candidates.append({r, 0, isNeighbour(f, r)});
        } else if (text.size() >= minimumLength) {
            const QSet<QString> words = wordsOf(text);
            bool hasRareWord = false;
            for (const QString &word : words)
                hasRareWord = hasRareWord || byWord.value(word).size() <= commonWord;
            for (const QString &word : words) {
                const auto hits = byWord.constFind(word);
                if (hits == byWord.cend() || (hasRareWord && hits->size() > commonWord))
                    continue;
                for (qsizetype r : *hits) {
                    if (seen[size_t(r)] == f)
                        continue;
                    seen[size_t(r)] = f;
                    const QString &other = recordTexts[r];
                    const int edits = boundedDistance(
                        text, other, editLimit(std::max(text.size(), other.size())));
                    if (edits != noMatch)
                        candidates.append({r, edits, isNeighbour(f, r)});
                }
            }
        }
        const qsizetype chosen = winner(candidates);
        if (chosen < 0)
            continue;
        const auto it = std::find_if(candidates.cbegin(), candidates.cend(),
                                     [&](const Candidate &c) { return c.other == chosen; });
        wantedBy[chosen].append({f, it->edits, it->neighbour});
    }

    QList<Reattached> result;
    for (auto it = wantedBy.cbegin(); it != wantedBy.cend(); ++it) {
        const qsizetype face = winner(it.value());
        if (face >= 0)
            result.append({face, it.key()});
    }
    std::sort(result.begin(), result.end(),
              [](const Reattached &x, const Reattached &y) { return x.face < y.face; });
    return result;
}
