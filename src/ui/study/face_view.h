#pragma once

#include "core/model/records.h"
#include "core/study/markup.h"
#include "core/study/review.h"

#include <QWidget>

class FaceProgressView;
class QComboBox;
class QLabel;
class QPushButton;

// One face of the card under study as a panel: its rating dots and progress picker, its text
// (hidden passages masked until revealed) and the review buttons. Only the active face shows
// the header and the buttons and takes the review actions.
//
// A panel stands for one exact face record. It never writes the deck itself: the card view
// writes what it asks for, and replaces the panel with a fresh, masked one when the record
// changed.
class FaceView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FaceView)

public:
    static constexpr int textWidth = 400;
    static constexpr int padding = 16;
    static constexpr int cornerRadius = 8;
    // Room around the panel for the active face's shadow.
    static constexpr int shadowMargin = 4;
    // What one text label is given at most: laying out a huge text in one go can freeze the
    // window for seconds or exhaust Qt's text layout. The rest is shown on demand, a piece at a
    // time.
    static constexpr qsizetype maxPieceLength = 4000;
    static constexpr qsizetype maxPieceLines = 400;

    FaceView(const CardFace &face, bool active, QWidget *parent = nullptr);

    const CardFace &face() const { return m_face; }

    // Fits the panel into `width`: the text is textWidth wide where there is room, narrower
    // in a small window, never narrower than the buttons need.
    void fitWidth(int width);
    // The narrowest the panel becomes.
    int minimumPanelWidth() const;

    bool isActive() const { return m_active; }
    // Shows or hides the header and buttons (and the shadow); animated, they fade with the
    // spring. The buttons take no input from the moment the face is inactive.
    void setActive(bool active, bool animated = false);

    // True while hidden passages are masked; every new panel starts masked.
    bool textHidden() const { return m_textHidden; }

    // The review actions. They act only while the face is active, as the buttons do.
    void toggleHidden();
    void markCorrect();
    void markIncorrect();
    // A review with any of the four grades (the Due mode's keys).
    void grade(Grade grade);
    void pass();
    void chooseProgress(CardFaceProgress progress);
    // Opens the progress picker's list, for the keyboard; only while the face is active.
    void openProgressPicker();

    // Shows the next piece of a text too long to be shown at once.
    void showMoreText();

    // Takes the record back after a change of its schedule alone, which shows nothing: the
    // panel stays as it is, masked or not.
    void takeSchedule(const CardFace &face) { m_face = face; }

    // Lets the rating dots of a fresh panel move from the rating the replaced panel showed.
    void animateRatingFrom(qint8 previous);

    // The panel's rectangle, inside the room kept for the shadow.
    QRect panelRect() const;

    // The label with the first piece of the text.
    QLabel *textLabel() const { return m_textPieces.first(); }

Q_SIGNALS:
    // Write this record in place of the face (one write, so one save).
    void faceWriteRequested(const CardFace &face);
    // The same for a review, whose schedule the writer adds for the grade.
    void faceReviewRequested(const CardFace &face, Grade grade);
    // Pass: go on to the next face.
    void nextFaceRequested();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void apply(const ReviewOutcome &outcome);
    void showEmphasis(qreal emphasis);
    void setTextHidden(bool hidden);
    QLabel *addTextPiece();
    void renderText();

    CardFace m_face;
    bool m_active = false;
    // Drawn state, moved by the animation toward m_active: 0 inactive .. 1 active.
    qreal m_emphasis = 0;
    qreal m_emphasisStart = 0;
    class QVariantAnimation *m_activation;
    bool m_textHidden = true;

    QWidget *m_header;
    FaceProgressView *m_progressView;
    QComboBox *m_picker;
    QWidget *m_textArea;
    QList<QLabel *> m_textPieces;
    int m_textWidth = textWidth;
    // Positioned after the pieces shown.
    MarkupPieces m_pieces;
    QPushButton *m_showMore;
    QWidget *m_buttons;
    QPushButton *m_reveal;
    QPushButton *m_correct;
    QPushButton *m_incorrect;
    QPushButton *m_pass;
};
