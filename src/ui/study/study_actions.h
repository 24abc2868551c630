#pragma once

#include <QList>
#include <QString>
#include <Qt>

// What the study view does when one of its keys is pressed. The card view implements it; the
// table of study actions names which key calls which of these.
class StudyActionTarget
{
public:
    virtual void toggleActiveFaceHidden() = 0;
    virtual void markActiveFaceCorrect() = 0;
    virtual void markActiveFaceIncorrect() = 0;
    virtual void passActiveFace() = 0;
    virtual void chooseActiveFaceProgress() = 0;
    virtual void previousFace() = 0;
    virtual void nextFace() = 0;
    virtual void previousCard() = 0;
    virtual void nextCard() = 0;
    // Reviews with one of the four grades; the Due mode's keys.
    virtual void gradeActiveFaceAgain() = 0;
    virtual void gradeActiveFaceHard() = 0;
    virtual void gradeActiveFaceGood() = 0;
    virtual void gradeActiveFaceEasy() = 0;

protected:
    ~StudyActionTarget() = default;
};

enum class StudyAction {
    ToggleHidden,
    MarkCorrect,
    MarkIncorrect,
    Pass,
    ChooseProgress,
    PreviousFace,
    NextFace,
    PreviousCard,
    NextCard,
    GradeAgain,
    GradeHard,
    GradeGood,
    GradeEasy
};

// One key of the study view, as the shortcuts, the key filter, the buttons' tooltips and the
// keyboard reference all read it.
struct StudyActionInfo
{
    StudyAction action;
    // The keys that trigger it; the first is the one a tooltip names.
    QList<Qt::Key> keys;
    // Untranslated texts (context "StudyActions"): the keyboard reference's line and the
    // tooltip of the button that does the same, with %1 for the key.
    const char *label;
    const char *toolTip;
    void (StudyActionTarget::*handler)();
    // Only in the Due mode; in order, the key does nothing.
    bool dueModeOnly;
};

// Every study action, in the order the keyboard reference lists them.
const QList<StudyActionInfo> &studyActions();
const StudyActionInfo &studyAction(StudyAction action);

// "K or Up": the keys of the action, translated, as the keyboard reference shows them.
QString studyActionKeys(const StudyActionInfo &info);
QString studyActionLabel(const StudyActionInfo &info);
// "Show previous face of card (k)": the tooltip of the button that does the same.
QString studyActionToolTip(StudyAction action);

// Whether the key, with those modifiers, triggers a study action.
bool isStudyKey(int key, Qt::KeyboardModifiers modifiers);
