#include "ui/study/study_key_filter.h"

#include "ui/study/study_actions.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

StudyKeyFilter::StudyKeyFilter(QWidget *view) : QObject(view), m_view(view)
{
    qApp->installEventFilter(this);
}

bool StudyKeyFilter::isTextField(const QObject *object)
{
    return qobject_cast<const QLineEdit *>(object) || qobject_cast<const QTextEdit *>(object) ||
           qobject_cast<const QPlainTextEdit *>(object) ||
           qobject_cast<const QAbstractSpinBox *>(object);
}

bool StudyKeyFilter::pressesButton(QObject *watched, QEvent *event) const
{
    auto *button = qobject_cast<QAbstractButton *>(watched);
    if (!button || !m_view || button->window() != m_view->window())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    switch (key->key()) {
    case Qt::Key_Space:
    case Qt::Key_Select:
        // Space belongs to the study view; with Shift or Ctrl held it is a slip, never a press
        // of whatever button happens to have the focus (End studying, a recent file's remove).
        return modifiers != Qt::NoModifier;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Return presses the button that visibly has the focus.
        if (modifiers != Qt::NoModifier || !button->isEnabled())
            return false;
        button->animateClick();
        return true;
    default:
        return false;
    }
}

bool StudyKeyFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        return pressesButton(watched, event);
    if (event->type() != QEvent::ShortcutOverride || !m_view || !watched->isWidgetType())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (!isStudyKey(key->key(), key->modifiers()))
        return false;
    const auto *widget = static_cast<QWidget *>(watched);
    if (widget->window() != m_view->window())
        return false;
    if (isTextField(widget)) {
        // Claimed: the key is typed into the field rather than triggering a shortcut.
        event->accept();
        return true;
    }
    // Not claimed, and the widget never sees the request: the shortcut fires.
    event->ignore();
    return true;
}
