#pragma once

#include <QList>
#include <QWidget>

class QToolButton;
class SelectionBar;

// Above the faces: the previous-face button, the faces bar and the next-face button.
class FaceControls final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FaceControls)

public:
    explicit FaceControls(QWidget *parent = nullptr);

    QToolButton *previousButton() const { return m_previous; }
    QToolButton *nextButton() const { return m_next; }
    SelectionBar *selectionBar() const { return m_bar; }

Q_SIGNALS:
    void previousFaceRequested();
    void nextFaceRequested();
    void faceChosen(qsizetype face);

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateIcons();

    QToolButton *m_previous;
    SelectionBar *m_bar;
    QToolButton *m_next;
};
