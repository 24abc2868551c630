#pragma once

#include <QWidget>

class DueSession;
class QLabel;
class QToolButton;

// The sidebar's choice between studying the deck in order and studying what is due, with the
// number of faces due now and of new faces still to come today.
class StudyModeSwitch final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StudyModeSwitch)

public:
    explicit StudyModeSwitch(DueSession &session, QWidget *parent = nullptr);

    QToolButton *inOrderButton() const { return m_inOrder; }
    QToolButton *dueButton() const { return m_due; }
    QLabel *countsLabel() const { return m_counts; }

private:
    void showMode();
    void showCounts();

    DueSession &m_session;
    QToolButton *m_inOrder;
    QToolButton *m_due;
    QLabel *m_counts;
};
