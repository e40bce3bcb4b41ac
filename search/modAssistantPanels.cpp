#include "search/modAssistantPanels.h"

#include "controls/CommandBars.h"
#include "search/frmSiteSearch.h"
#include "search/frmWebpageTranslate.h"
#include "web/frmBrowser.h"

#include <QMenu>
#include <QPointer>
#include <QWebEnginePage>
#include <QWidget>

namespace modAssistantPanels {

void AddAssistantPanels(frmBrowser* browser, CommandBar* menu) {
    if (!browser || !menu)
        return;
    const QString address = browser->page() ? browser->page()->url().toString() : QString();

    auto* translate = new frmWebpageTranslate;
    translate->LocationUrl = address;
    auto* site = new frmSiteSearch;
    site->LocationUrl = address;

    CommandBarControl* translateItem = menu->Add(CommandBarControl::Custom, 0, QStringLiteral("网页翻译"));
    translateItem->setCustomWidget(translate);
    CommandBarControl* siteItem = menu->Add(CommandBarControl::Custom, 0, QStringLiteral("站内搜索"));
    siteItem->setCustomWidget(site);
    siteItem->setBeginGroup(true);

    // The menu closes when a panel sends its request, so the new page is not covered by it.
    QPointer<QMenu> popup = menu->menu();
    auto close = [popup] {
        if (popup)
            popup->hide();
    };
    QObject::connect(translate, &frmWebpageTranslate::RequestStarting, translate, close);
    QObject::connect(site, &frmSiteSearch::RequestStarting, site, close);
    // The next opening starts at the menu, not in the control that had the focus last time
    // (where the arrow keys would change a list instead of moving through the menu).
    QObject::connect(popup, &QMenu::aboutToHide, popup, [popup] {
        if (QWidget* focus = popup->focusWidget())
            focus->clearFocus();
    });
}

bool FocusNextInPanel(QWidget* panel, bool next) {
    // The panel's controls that take the focus from the keyboard, in their tab order.
    QList<QWidget*> chain;
    for (QWidget* w = panel->nextInFocusChain(); w && w != panel && panel->isAncestorOf(w);
         w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(panel) && w->isEnabled() && !w->focusProxy())
            chain.append(w);
    }
    QWidget* current = panel->window()->focusWidget();
    const qsizetype at = chain.indexOf(current);
    if (at < 0)
        return false;
    const qsizetype to = next ? at + 1 : at - 1;
    if (to < 0 || to >= chain.size())
        return false;
    chain.at(to)->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

} // namespace modAssistantPanels
