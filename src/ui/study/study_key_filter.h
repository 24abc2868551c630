#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// Keeps the study view's keys for the study view wherever the focus is in its window: a list
// or a button with the focus cannot claim them (the sidebar's card list would take the arrows),
// while a text field, which needs them for typing, keeps them. An open pop-up has the keyboard
// to itself and never sees this rule.
class StudyKeyFilter final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StudyKeyFilter)

public:
    // Watches the window of `view` (found at each key) through an application event filter.
    explicit StudyKeyFilter(QWidget *view);

    // Whether a widget takes typed text, so that plain keys belong to it.
    static bool isTextField(const QObject *object);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Handles a key pressed on a button of the window; whether the key was used up.
    bool pressesButton(QObject *watched, QEvent *event) const;

    QPointer<QWidget> m_view;
};
