#pragma once

// What the condition lists' text boxes take from the keyboard and the clipboard: of an edit, only
// what a single-line box holds; several lines pasted into a phrase box are offered as entries of
// that list instead (asked first, registered as the registration does, one undo step).

#include "conditions/ConditionList.h"

#include <QString>

#include <functional>

class ConditionsController;
class MainWindowHost;
class QLineEdit;

class ConditionBoxInput {
public:
    ConditionBoxInput(ConditionsController& lists, MainWindowHost& host);

    // Keeps of the user's edits in box only what such a box holds: the inserted piece up to its
    // first line break (a pasted spreadsheet cell ends in CR LF), within keyboardLimit
    // characters (-1: none). takeLines, when given, is first offered a paste of the clipboard's
    // text when that holds several lines (Ctrl+V, Shift+Insert, the box's menu), with the box
    // set back to its text before the paste; true: it took them, and the box stays as it was.
    static void keepTypedInput(QLineEdit* box, qsizetype keyboardLimit,
                               std::function<bool(const QString&)> takeLines = {});

    // Several lines pasted into the phrase box of list id: asks whether to add each non-empty
    // line as an entry and does so as one undo step. False: declined.
    bool pasteLines(ConditionList id, const QString& text);

private:
    ConditionsController& m_lists;
    MainWindowHost& m_host;
};
