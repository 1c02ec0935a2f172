#pragma once

// The "元データ" button: after a pickup the list area shows the result rows; the button
// shows the source rows again in their place, and back, without reading the file again. It is
// available while there is a result to go back to, and lets go when anything else takes the list
// area (a load, a new pickup, Stop, the hand-over).

#include <QObject>

class QEvent;
class QToolButton;
class QWidget;

class SourceToggle : public QObject {
public:
    // button: checkable, a child of the window; the two lists share one rectangle.
    SourceToggle(QToolButton* button, QWidget* sourceList, QWidget* resultList);

    // Whether the source list stands in for the result list now.
    bool showingSource() const { return m_showingSource; }
    // Shows the source rows (on) or the result rows again (off); nothing without a result.
    void setShowingSource(bool on);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The button's enabled and checked states from the lists' visibility.
    void sync();

    QToolButton* m_button;
    QWidget* m_source;
    QWidget* m_result;
    bool m_showingSource = false;
    bool m_switching = false; // the lists are being switched by this toggle
};
