#pragma once

// The window's commands: the toolbar's nine buttons and the four items of its two drop-down menus.
// Code inside the program names them by this enum; each action carries its key ("M_Open", ...)
// as its objectName, so that it can be found from outside by name.

#include <QString>

#include <array>

enum class Command : int {
    // The toolbar's buttons, left to right; also the access keys' order (Alt+O ... Alt+H).
    Open,
    Save,
    Print,
    Start,
    Stop,
    AllSelect,
    Copy,
    Sort,
    Help,
    // The items of the Sort and Help buttons' menus.
    SortAsc,
    SortDesc,
    HelpHelp,
    HelpAbout,
};

constexpr int kCommandCount = 13;
// Commands 0 .. kToolbarButtonCount - 1 are the toolbar's buttons (and access keys).
constexpr int kToolbarButtonCount = 9;

inline constexpr std::array<Command, kToolbarButtonCount> kToolbarButtons = {
    Command::Open,      Command::Save, Command::Print, Command::Start, Command::Stop,
    Command::AllSelect, Command::Copy, Command::Sort,  Command::Help};

// The key of a command: its action's objectName.
inline QString commandKey(Command command) {
    switch (command) {
    case Command::Open:
        return QStringLiteral("M_Open");
    case Command::Save:
        return QStringLiteral("M_Save");
    case Command::Print:
        return QStringLiteral("M_Print");
    case Command::Start:
        return QStringLiteral("M_Start");
    case Command::Stop:
        return QStringLiteral("M_Stop");
    case Command::AllSelect:
        return QStringLiteral("M_AllSelect");
    case Command::Copy:
        return QStringLiteral("M_Copy");
    case Command::Sort:
        return QStringLiteral("M_Sort");
    case Command::Help:
        return QStringLiteral("M_Help");
    case Command::SortAsc:
        return QStringLiteral("M_SortAsc");
    case Command::SortDesc:
        return QStringLiteral("M_SortDesc");
    case Command::HelpHelp:
        return QStringLiteral("M_HelpHelp");
    case Command::HelpAbout:
        return QStringLiteral("M_HelpAbout");
    }
    return {};
}
