// Switching the list area between the result rows and the source rows.
#include "main_window/SourceToggle.h"

#include <QEvent>
#include <QToolButton>
#include <QWidget>

SourceToggle::SourceToggle(QToolButton* button, QWidget* sourceList, QWidget* resultList)
    : QObject(button), m_button(button), m_source(sourceList), m_result(resultList) {
    m_button->setCheckable(true);
    connect(m_button, &QToolButton::clicked, this, &SourceToggle::setShowingSource);
    m_source->installEventFilter(this);
    m_result->installEventFilter(this);
    sync();
}

void SourceToggle::setShowingSource(bool on) {
    const bool haveResult = m_showingSource || !m_result->isHidden();
    if (haveResult && on != m_showingSource) {
        m_switching = true;
        m_showingSource = on;
        m_source->setVisible(on);
        m_result->setVisible(!on);
        (on ? m_source : m_result)->setFocus();
        m_switching = false;
    }
    sync();
}

bool SourceToggle::eventFilter(QObject* watched, QEvent* event) {
    const bool shownOrHidden = event->type() == QEvent::Show || event->type() == QEvent::Hide ||
                               event->type() == QEvent::ShowToParent ||
                               event->type() == QEvent::HideToParent;
    // The window system's own (a minimised window hides its children) leave the choice alone.
    if (!m_switching && shownOrHidden && !event->spontaneous() &&
        (watched == m_source || watched == m_result)) {
        // Someone else switched the list area: whatever it shows now is what it shows.
        if (watched == m_result || (m_showingSource && m_source->isHidden()))
            m_showingSource = false;
        sync();
    }
    return false;
}

void SourceToggle::sync() {
    m_button->setEnabled(m_showingSource || !m_result->isHidden());
    m_button->setChecked(m_showingSource);
}
