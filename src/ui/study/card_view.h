#pragma once

#include "core/model/records.h"
#include "core/schedule/due_queue.h"
#include "core/schedule/fsrs.h"
#include "ui/study/study_actions.h"

#include <QList>
#include <QWidget>

#include <optional>

class CardViewControls;
class CommandsCoordinator;
class DueSession;
class FaceControls;
class FaceView;
class QLabel;
class QScrollArea;
class QShortcut;
class QTimer;
class QVariantAnimation;
class QVBoxLayout;

// The study view of the selected card: its faces as panels, face and card navigation.
// The deck browser owns the selection; this view shows the card at the selected position of the
// coordinator's deck and asks the browser to move the selection.
//
// Its keys (the study actions) work wherever the focus is in its window, except in a text field.
class CardView final : public QWidget, public StudyActionTarget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CardView)

public:
    // Room above the first face and below the last, so that each can be scrolled to the middle.
    static constexpr int facesPadding = 300;

    explicit CardView(CommandsCoordinator &coordinator, QWidget *parent = nullptr);
    ~CardView() override;

    // Shows the card at that position from its first face; nothing shows an empty view.
    void setSelectedCard(std::optional<qsizetype> index);

    // The window's Due mode. While its session is in that mode the view shows the face to
    // study next (in its card, as any face), moves on to the next one after each review and
    // pass, and says so when nothing is left; the keys 1 to 4 review with their grades.
    void setDueSession(DueSession *session);
    bool inDueMode() const;
    std::optional<qsizetype> selectedCard() const { return m_selectedCard; }

    // The number of cards of the open deck; 0 until the browser sets it.
    void setCardCount(qsizetype count);
    qsizetype cardCount() const { return m_cardCount; }

    // The position of the current (active) face in the shown card.
    qsizetype currentFace() const { return m_currentFace; }
    // Makes that face current and scrolls it to the middle; a position outside the card is
    // ignored.
    void setCurrentFace(qsizetype face);

    // Face navigation: past the last face comes the next card (after the last card the first),
    // before the first face the previous card. Nothing moves while no card is selected.
    void nextFace() override;
    void previousFace() override;
    void chooseActiveFaceProgress() override;
    void previousCard() override;
    void nextCard() override;

    // The rest of the study actions act on the active face; nothing without one.
    void toggleActiveFaceHidden() override;
    void markActiveFaceCorrect() override;
    void markActiveFaceIncorrect() override;
    void passActiveFace() override;
    void gradeActiveFaceAgain() override;
    void gradeActiveFaceHard() override;
    void gradeActiveFaceGood() override;
    void gradeActiveFaceEasy() override;

    // The face panels of the shown card, in order, and the active one (if any).
    const QList<FaceView *> &faceViews() const { return m_faceViews; }
    FaceView *activeFaceView() const;

    // The scroll position that puts the current face in the middle of the faces area.
    int centredScrollPosition() const;

Q_SIGNALS:
    // Navigation moved past a card: the browser selects that card (and calls setSelectedCard).
    void selectedCardChangeRequested(std::optional<qsizetype> index);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    const Card *shownCard() const;
    void rebuild();
    void updateCard(qsizetype card);
    FaceView *makeFaceView(const CardFace &face, bool active);
    void writeFace(const FaceView *view, const CardFace &face);
    void moveTo(qsizetype face, std::optional<qsizetype> selectedCard);
    void updateFacesBar(bool animated);
    void centreCurrentFace(bool animated);
    void addShortcut(const StudyActionInfo &info, Qt::Key key);
    void onActiveFace(void (FaceView::*action)());
    void gradeActiveFace(Grade grade);
    void passed();
    // Shows the head of the due queue, or the message that nothing is left.
    void showNextDue();
    void showFace(const QueuedFace &face);
    void setNothingDue(bool nothingDue);
    void updateNothingDueText();

    CommandsCoordinator &m_coordinator;
    std::optional<qsizetype> m_selectedCard;
    qsizetype m_cardCount = 0;
    qsizetype m_currentFace = 0;

    FaceControls *m_faceControls;
    QScrollArea *m_scrollArea;
    QWidget *m_facesContent;
    QVBoxLayout *m_facesLayout;
    CardViewControls *m_cardControls;
    QList<FaceView *> m_faceViews;
    QLabel *m_nothingDue = nullptr;

    DueSession *m_due = nullptr;
    bool m_showingNothingDue = false;
    // Set while the view itself asks the browser for a card, to show a face other than the
    // first.
    bool m_keepCurrentFace = false;

    QVariantAnimation *m_scrollAnimation;
    QTimer *m_centreTimer;
    bool m_centreAnimated = false;
};
