#pragma once

// A small window for the study view's tests: a sidebar with a card list and a text field beside
// a CardView, over a coordinator with temporary preferences and progress folder.

#include "core/app/commands_coordinator.h"
#include "core/app/recent_files.h"
#include "ui/study/card_view.h"
#include "ui/study/face_view.h"

#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

class StudyHost
{
public:
    explicit StudyHost(const QString &deckText)
        : m_settings(m_dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat),
          m_recent(&m_settings)
    {
        const QString deckPath = m_dir.filePath(QStringLiteral("deck.txt"));
        QFile file(deckPath);
        if (file.open(QIODevice::WriteOnly))
            file.write(deckText.toUtf8());
        file.close();
        QDir(m_dir.path()).mkpath(QStringLiteral("progress"));
        coordinator = std::make_unique<CommandsCoordinator>(
            &m_settings, m_dir.filePath(QStringLiteral("progress")), &m_recent);
        coordinator->open(QUrl::fromLocalFile(deckPath));

        auto *central = new QWidget;
        auto *layout = new QHBoxLayout(central);
        auto *sidebar = new QVBoxLayout;
        list = new QListWidget;
        field = new QLineEdit;
        sidebar->addWidget(list);
        sidebar->addWidget(field);
        layout->addLayout(sidebar);
        view = new CardView(*coordinator);
        layout->addWidget(view, 1);
        window.setCentralWidget(central);
        window.resize(900, 700);

        const qsizetype count = coordinator->dataFile()->cards.size();
        for (qsizetype i = 0; i < count; ++i)
            list->addItem(QStringLiteral("Card %1").arg(i));
        // The browser's side of the contract: follow the request, then tell the view.
        QObject::connect(view, &CardView::selectedCardChangeRequested, list,
                         [this](std::optional<qsizetype> index) {
                             list->setCurrentRow(index ? int(*index) : -1);
                         });
        QObject::connect(list, &QListWidget::currentRowChanged, view, [this](int row) {
            view->setSelectedCard(row < 0 ? std::nullopt : std::optional<qsizetype>(row));
        });
        view->setCardCount(count);
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
    RecentFiles &recentFiles() { return m_recent; }
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

private:
    QTemporaryDir m_dir;
    QSettings m_settings;
    RecentFiles m_recent;

public:
    std::unique_ptr<CommandsCoordinator> coordinator;
    QMainWindow window;
    QListWidget *list = nullptr;
    QLineEdit *field = nullptr;
    CardView *view = nullptr;
};
