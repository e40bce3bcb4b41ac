#include "web/modWebHistory.h"

#include "controls/CommandBars.h"
#include "core/QvIds.h"

#include <QWebEngineHistory>
#include <QWebEnginePage>

#include <algorithm>

namespace modWebHistory {

void UpdateButtons(QWebEnginePage* page, CommandBarControl* back, CommandBarControl* forward) {
    QWebEngineHistory* history = page ? page->history() : nullptr;
    if (back)
        back->setEnabled(history && history->canGoBack());
    if (forward)
        forward->setEnabled(history && history->canGoForward());
}

void FillMenu(QWebEnginePage* page, int flags, CommandBar* menu) {
    if (!menu)
        return;
    menu->DeleteAll();
    QWebEngineHistory* history = page ? page->history() : nullptr;
    if (!history)
        return;
    QList<QWebEngineHistoryItem> items;
    int direction = 0;
    if (flags & HistoryBack) {
        // Oldest first from the engine; the menu starts with the nearest entry.
        items = history->backItems(MaxHistoryEntries);
        std::reverse(items.begin(), items.end());
        direction = -1;
    } else if (flags & HistoryForward) {
        items = history->forwardItems(MaxHistoryEntries);
        direction = 1;
    }
    int step = 0;
    for (const QWebEngineHistoryItem& item : std::as_const(items)) {
        step += direction;
        QString caption = item.title().trimmed();
        if (caption.isEmpty())
            caption = item.url().toString().trimmed();
        menu->Add(CommandBarControl::Button, Cmd::HistoryEntry, MenuCaption(caption))->setTag(step);
    }
}

void Go(QWebEnginePage* page, int step) {
    QWebEngineHistory* history = page ? page->history() : nullptr;
    if (!history || step == 0)
        return;
    const int target = history->currentItemIndex() + step;
    if (target >= 0 && target < history->count())
        history->goToItem(history->itemAt(target));
}

QString MenuCaption(const QString& text) {
    QString caption = text;
    return caption.replace(QLatin1Char('&'), QLatin1String("&&"));
}

} // namespace modWebHistory
