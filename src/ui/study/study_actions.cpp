#include "ui/study/study_actions.h"

#include <QCoreApplication>

namespace {

QString translated(const char *text)
{
    return QCoreApplication::translate("StudyActions", text);
}

// The name of a key as the keyboard reference shows it.
QString keyName(Qt::Key key)
{
    switch (key) {
    case Qt::Key_Space:
        return translated(QT_TRANSLATE_NOOP("StudyActions", "Space"));
    case Qt::Key_Up:
        return translated(QT_TRANSLATE_NOOP("StudyActions", "Up"));
    case Qt::Key_Down:
        return translated(QT_TRANSLATE_NOOP("StudyActions", "Down"));
    case Qt::Key_Left:
        return translated(QT_TRANSLATE_NOOP("StudyActions", "Left"));
    case Qt::Key_Right:
        return translated(QT_TRANSLATE_NOOP("StudyActions", "Right"));
    default:
        return QString(QChar(static_cast<char16_t>(key)));
    }
}

// The name of a key inside a tooltip: letters as typed, in lower case.
QString toolTipKeyName(Qt::Key key)
{
    if (key == Qt::Key_Space)
        return translated(QT_TRANSLATE_NOOP("StudyActions", "space"));
    return keyName(key).toLower();
}

} // namespace

const QList<StudyActionInfo> &studyActions()
{
    using T = StudyActionTarget;
    static const QList<StudyActionInfo> actions = {
        {StudyAction::ToggleHidden,
         {Qt::Key_R},
         QT_TRANSLATE_NOOP("StudyActions", "Reveal or hide the hidden text of the face"),
         QT_TRANSLATE_NOOP("StudyActions", "Reveal hidden text (%1)"),
         &T::toggleActiveFaceHidden,
         false},
        {StudyAction::MarkCorrect,
         {Qt::Key_C},
         QT_TRANSLATE_NOOP("StudyActions", "Mark the face correct"),
         QT_TRANSLATE_NOOP("StudyActions", "Mark correct (%1)"),
         &T::markActiveFaceCorrect,
         false},
        {StudyAction::MarkIncorrect,
         {Qt::Key_X},
         QT_TRANSLATE_NOOP("StudyActions", "Mark the face incorrect"),
         QT_TRANSLATE_NOOP("StudyActions", "Mark incorrect (%1)"),
         &T::markActiveFaceIncorrect,
         false},
        {StudyAction::Pass,
         {Qt::Key_Space},
         QT_TRANSLATE_NOOP("StudyActions", "Pass: go on to the next face"),
         QT_TRANSLATE_NOOP("StudyActions", "Pass (%1)"),
         &T::passActiveFace,
         false},
        {StudyAction::ChooseProgress,
         {Qt::Key_S},
         QT_TRANSLATE_NOOP("StudyActions", "Choose the progress state of the face"),
         QT_TRANSLATE_NOOP("StudyActions", "Progress state (%1)"),
         &T::chooseActiveFaceProgress,
         false},
        {StudyAction::PreviousFace,
         {Qt::Key_K, Qt::Key_Up},
         QT_TRANSLATE_NOOP("StudyActions", "Previous face of the card"),
         QT_TRANSLATE_NOOP("StudyActions", "Show previous face of card (%1)"),
         &T::previousFace,
         false},
        {StudyAction::NextFace,
         {Qt::Key_J, Qt::Key_Down},
         QT_TRANSLATE_NOOP("StudyActions", "Next face (after the last one, the next card)"),
         QT_TRANSLATE_NOOP("StudyActions", "Show next face of card (%1)"),
         &T::nextFace,
         false},
        {StudyAction::PreviousCard,
         {Qt::Key_P, Qt::Key_Left},
         QT_TRANSLATE_NOOP("StudyActions", "Previous card"),
         QT_TRANSLATE_NOOP("StudyActions", "Show previous card (%1)"),
         &T::previousCard,
         false},
        {StudyAction::NextCard,
         {Qt::Key_N, Qt::Key_Right},
         QT_TRANSLATE_NOOP("StudyActions", "Next card"),
         QT_TRANSLATE_NOOP("StudyActions", "Show next card (%1)"),
         &T::nextCard,
         false},
        {StudyAction::GradeAgain,
         {Qt::Key_1},
         QT_TRANSLATE_NOOP("StudyActions", "Due mode: forgotten (Again)"),
         QT_TRANSLATE_NOOP("StudyActions", "Again (%1)"),
         &T::gradeActiveFaceAgain,
         true},
        {StudyAction::GradeHard,
         {Qt::Key_2},
         QT_TRANSLATE_NOOP("StudyActions", "Due mode: recalled with difficulty (Hard)"),
         QT_TRANSLATE_NOOP("StudyActions", "Hard (%1)"),
         &T::gradeActiveFaceHard,
         true},
        {StudyAction::GradeGood,
         {Qt::Key_3},
         QT_TRANSLATE_NOOP("StudyActions", "Due mode: recalled (Good)"),
         QT_TRANSLATE_NOOP("StudyActions", "Good (%1)"),
         &T::gradeActiveFaceGood,
         true},
        {StudyAction::GradeEasy,
         {Qt::Key_4},
         QT_TRANSLATE_NOOP("StudyActions", "Due mode: recalled at once (Easy)"),
         QT_TRANSLATE_NOOP("StudyActions", "Easy (%1)"),
         &T::gradeActiveFaceEasy,
         true},
    };
    return actions;
}

const StudyActionInfo &studyAction(StudyAction action)
{
    for (const StudyActionInfo &info : studyActions()) {
        if (info.action == action)
            return info;
    }
    Q_UNREACHABLE();
}

QString studyActionKeys(const StudyActionInfo &info)
{
    QString keys = keyName(info.keys.first());
    for (qsizetype i = 1; i < info.keys.size(); ++i)
        keys = translated(QT_TRANSLATE_NOOP("StudyActions", "%1 or %2"))
                   .arg(keys, keyName(info.keys[i]));
    return keys;
}

QString studyActionLabel(const StudyActionInfo &info)
{
    return translated(info.label);
}

QString studyActionToolTip(StudyAction action)
{
    const StudyActionInfo &info = studyAction(action);
    return translated(info.toolTip).arg(toolTipKeyName(info.keys.first()));
}

bool isStudyKey(int key, Qt::KeyboardModifiers modifiers)
{
    // Arrow keys carry the keypad modifier on some keyboards; any other modifier makes it
    // another key.
    if ((modifiers & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    for (const StudyActionInfo &info : studyActions()) {
        for (const Qt::Key studyKey : info.keys) {
            if (studyKey == key)
                return true;
        }
    }
    return false;
}
