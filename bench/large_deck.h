#pragma once

#include <QRandomGenerator>
#include <QString>

// The deck every benchmark works on: 100,000 cards of two or three faces, about 11 MB, each
// face with a hidden passage. The same text on every run.
inline QString largeDeckText()
{
    static const char *const words[] = {
        "capital", "river",  "mountain", "ocean",  "language", "currency", "city",   "border",
        "island",  "desert", "forest",   "valley", "century",  "empire",   "treaty", "harbour"};
    QRandomGenerator random(42);
    const auto word = [&] { return QString::fromLatin1(words[random.bounded(16)]); };
    QString text;
    for (int card = 0; card < 100'000; ++card) {
        text += QStringLiteral("=== %1\n").arg(card);
        const int faces = 2 + int(random.bounded(2));
        for (int face = 0; face < faces; ++face) {
            if (face)
                text += QStringLiteral("---\n");
            text += QStringLiteral("The %1 of %2 %3 is {%4}.\n")
                        .arg(word(), word())
                        .arg(card * 3 + face)
                        .arg(word());
        }
    }
    return text;
}
