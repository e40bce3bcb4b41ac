#include "links/modPaneCommandbars.h"

#include "controls/CommandBars.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "links/clsLinks.h"
#include "links/modLinkTrees.h"
#include "web/frmPaneWebPage.h"

namespace modPaneCommandbars {
namespace {

const char* const kModule = "Module modPaneCommandbars";
const char* const kDefaultStockPage = "https://quote.eastmoney.com/zs000001.html";

struct Group {
    const char* caption;
    const char* category;
};

// The video pane's groups, in the order they appear.
const Group kVideoGroups[] = {
    {"视频门户", "vweb"}, {"电影", "vmovie"},     {"电视", "vtv"},   {"综艺", "varts"},
    {"体育", "vsports"},  {"动漫", "vanimation"}, {"直播", "vlive"},
};

} // namespace

CommandBarControl* AddLibraryMenu(CommandBar* bar, clsLinks* links, int id, const QString& caption, int icon,
                                  const QStringList& categories) {
    if (!bar)
        return nullptr;
    CommandBarControl* menu = bar->Add(CommandBarControl::Popup, id, caption);
    menu->setBeginGroup(true);
    menu->setIconId(icon);
    menu->setStyle(CommandBarControl::StyleIconAndCaption);
    if (!links)
        return menu;
    for (const QString& category : categories) {
        const XmlNodeList nodes = links->getLinksXMLNodeListByCategory(category);
        for (const XmlNode& node : nodes) {
            try {
                const clsLink link = links->getLinkByNode(node);
                const QString address = link.UrlGetNode();
                QString text = link.Caption;
                text.replace(QLatin1Char('&'), QLatin1String("&&"));
                CommandBarControl* entry =
                    menu->CommandBar()->Add(CommandBarControl::Button, Cmd::FavoriteEntry, text);
                entry->setIconId(modLinkTrees::IconNumber(link.IconNum, Cmd::FavoriteEntry));
                entry->setParameter(address);
                entry->setTooltipText(link.Tip);
            } catch (const QvError& e) {
                // One link without a plain address does not cost the menu its other entries.
                modLinkTrees::ReportError(e.number(), e.description(), QStringLiteral("AddLibraryMenu"),
                                          QString::fromLatin1(kModule));
            }
        }
    }
    return menu;
}

void AddLibraryMenus(frmPaneWebPage* pane, int paneId, clsLinks* links) {
    if (!pane)
        return;
    CommandBar* bar = pane->toolBar();
    switch (paneId) {
    case PaneId::Music:
        AddLibraryMenu(bar, links, Cmd::MusicLibrary, QStringLiteral("选择音乐库"), 401,
                       {QStringLiteral("music")});
        break;
    case PaneId::Novel:
        AddLibraryMenu(bar, links, Cmd::NovelLibrary, QStringLiteral("选择小说库"), 407,
                       {QStringLiteral("novel")});
        break;
    case PaneId::Movie:
        for (const Group& group : kVideoGroups)
            AddLibraryMenu(bar, links, Cmd::VideoLibrary, QString::fromUtf8(group.caption), 404,
                           {QString::fromLatin1(group.category)});
        break;
    default:
        break;
    }
}

QString StockPageAddress(clsLinks* links) {
    try {
        if (links) {
            const XmlNodeList stock = links->getLinksXMLNodeListByCategory(QStringLiteral("stock"));
            for (const XmlNode& node : stock) {
                const QString address = links->getLinkByNode(node).UrlGetNode();
                if (!address.isEmpty())
                    return address;
            }
        }
    } catch (const QvError& e) {
        modLinkTrees::ReportError(e.number(), e.description(), QStringLiteral("StockPageAddress"),
                                  QString::fromLatin1(kModule));
    }
    return QString::fromLatin1(kDefaultStockPage);
}

} // namespace modPaneCommandbars
