#pragma once

// A study view beside a card list and a text field, over a fresh coordinator; the list plays the
// deck browser's part.

#include "ui/app/window_test_support.h"
#include "ui/study/card_view.h"
#include "ui/study/face_view.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>

class StudyHost
{
    WindowFixture m_fixture;

public:
    explicit StudyHost(const QString &deckText) : coordinator(m_fixture.coordinator.get())
    {
        coordinator->open(m_fixture.file(QStringLiteral("deck.txt"), deckText.toUtf8()));
        auto *central = new QWidget;
        auto *layout = new QHBoxLayout(central);
        layout->addWidget(list = new QListWidget);
        layout->addWidget(field = new QLineEdit);
        layout->addWidget(view = new CardView(*coordinator), 1);
        window.setCentralWidget(central);
        window.resize(900, 700);
        for (qsizetype i = 0; i < coordinator->dataFile()->cards.size(); ++i)
            list->addItem(QStringLiteral("Card %1").arg(i));
        QObject::connect(
            view, &CardView::selectedCardChangeRequested, list,
            [this](std::optional<qsizetype> i) { list->setCurrentRow(i ? int(*i) : -1); });
        QObject::connect(list, &QListWidget::currentRowChanged, view, [this](int row) {
            view->setSelectedCard(row < 0 ? std::nullopt : std::optional<qsizetype>(row));
        });
        view->setCardCount(list->count());
        list->setCurrentRow(0);
    }

    bool show()
    {
        window.show();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }
    void key(Qt::Key key) { QTest::keyClick(window.windowHandle(), key); }
    const CardFace &deckFace(qsizetype card, qsizetype face) const
    {
        return coordinator->dataFile()->cards.at(card).faces.at(face);
    }
    FaceView *face(qsizetype i) const { return view->faceViews().value(i); }
    FaceView *active() const { return view->activeFaceView(); }

    // Puts a face into a given state, as a stored progress file would.
    void setFace(qsizetype card, qsizetype face, qint8 rating, CardFaceProgress progress)
    {
        CardFace f = deckFace(card, face);
        f.rating = rating;
        f.progress = progress;
        coordinator->setFace(card, face, f);
    }

    CommandsCoordinator *coordinator;
    QMainWindow window;
    QListWidget *list = nullptr;
    QLineEdit *field = nullptr;
    CardView *view = nullptr;
};
