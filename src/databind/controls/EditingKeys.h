#pragma once

class QKeyEvent;

// The keys with which the user changes a text box's text, so the box asks to edit before letting them through.
class EditingKeys
{
public:
    // A printable character, Backspace, Delete, paste or cut; Enter too where the text has several lines.
    static bool changeText(const QKeyEvent& event, bool multiLine = false);
};
