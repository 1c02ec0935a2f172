// The result list's tests in the real window: rows put straight into the result list.
#pragma once

#include "GuiTestSupport.h"
#include "StoreLines.h"

#include <numeric>
#include <vector>

// Puts rows into the result list and the window into the state a completed pickup leaves:
// result commands on, the result list shown.
inline void showResults(TestWindow& w, const QStringList& lines) {
    fillStore(w->store(), lines);
    std::vector<std::uint32_t> rows(size_t(lines.size()));
    std::iota(rows.begin(), rows.end(), 0u);
    w->resultModel()->setRows(std::move(rows));
    for (Command key :
         {Command::Save, Command::Print, Command::AllSelect, Command::Copy, Command::Sort})
        w->toolbarButton(key)->setEnabled(true);
    w.cmdSend()->setEnabled(true);
    w.lvwOriginalData()->hide();
    w.lvwPickupData()->show();
}
