#pragma once

// What the window's area controllers may ask of the window: the owner for dialogs and messages,
// the platform seam, the shared file dialog, the loaded file's column count, the toolbar's
// commands, the status bar's panels and the job state. Implemented by frmVNLMain.

#include "main_window/Command.h"
#include "main_window/Panel.h"

#include <QString>

class CommonDialog;
class Platform;
class QAction;
class QProgressBar;
class QWidget;

class MainWindowHost {
public:
    // The window itself: the owner of message boxes, dialogs and menus.
    virtual QWidget* hostWidget() = 0;
    virtual Platform& platform() = 0;
    // The file dialog the commands use (each command remembers its own last name).
    virtual CommonDialog& dialog() = 0;
    // The number of commas of the loaded file's first line; 0 until the first load.
    virtual int commaCount() const = 0;
    virtual QAction* toolbarButton(Command command) const = 0;
    virtual QProgressBar* progressWindow() const = 0;
    virtual QString panelText(Panel panel) const = 0;
    virtual void setPanelText(Panel panel, const QString& text) = 0;

    // The job state (see frmVNLMain).
    virtual void myControlsDisable() = 0;
    virtual void myControlsEnable() = 0;
    virtual void myStartCheck() = 0;
    // True while a job runs.
    virtual bool isBusy() const = 0;
    // Longest time a job may run before it lets the event loop turn (milliseconds).
    virtual int jobSliceMs() const = 0;

    // A command that could not get the memory it needed: says so (the window stays as it was).
    virtual void outOfMemory(const QString& what) = 0;
    // Writes the result rows to Zelvo's hand-over file; the whole message when it could not be
    // written, else empty.
    virtual QString transferResults() = 0;

protected:
    ~MainWindowHost() = default;
};
