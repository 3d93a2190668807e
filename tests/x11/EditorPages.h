// The operation pages of the macro editor as a user reaches them: each
// selected operation in turn, and each tab of its page.
#pragma once

#include "BatchEditDlg.h"
#include "DlgItems.h"

#include <QListWidget>
#include <QTabBar>

#include <functional>

namespace edtest {

// The first control of type T on those pages for which `wanted` holds, left
// shown; null when there is none.
template <class T>
T* FirstOnAnyPage(CBatchEditDlgWrapper* editor, const std::function<bool(T*)>& wanted)
{
    QWidget* pages = GetDlgItem(editor, 1119);
    auto* selected = qobject_cast<QListWidget*>(GetDlgItem(editor, 1117));
    for (int row = 0; pages && selected && row < selected->count(); ++row) {
        selected->setCurrentRow(row);
        QTabBar* tabs = nullptr;
        for (QTabBar* bar : pages->findChildren<QTabBar*>(QStringLiteral("DlgTabRow")))
            if (bar->isVisible())
                tabs = bar;
        for (int tab = 0; tab < (tabs ? tabs->count() : 1); ++tab) {
            if (tabs)
                tabs->setCurrentIndex(tab);
            for (T* control : pages->findChildren<T*>())
                if (wanted(control))
                    return control;
        }
    }
    return nullptr;
}

} // namespace edtest
