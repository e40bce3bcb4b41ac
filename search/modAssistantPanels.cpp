#include "search/modAssistantPanels.h"

#include "controls/CommandBars.h"
#include "search/frmSiteSearch.h"
#include "search/frmWebpageTranslate.h"
#include "web/frmBrowser.h"

#include <QMenu>
#include <QPointer>
#include <QWebEnginePage>

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
}

} // namespace modAssistantPanels
