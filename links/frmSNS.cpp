#include "links/frmSNS.h"

#include "controls/DockingPanes.h"
#include "controls/IconStore.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/modInitial.h"
#include "links/clsLinks.h"
#include "links/modLinkTrees.h"
#include "web/clsActStatus.h"
#include "web/frmPaneSNS.h"

#include <QListWidget>
#include <QMainWindow>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>

namespace {

const char* const kModule = "Form frmSNS";
constexpr int kSiteIcon = 1084;

clsActStatus* sessionState() {
    return modInitial::gData ? ActStatusOf(modInitial::gData->UserData()) : nullptr;
}

void report(const char* procedure, const std::exception& e) {
    if (const auto* error = dynamic_cast<const QvError*>(&e))
        modLinkTrees::ReportError(error->number(), error->description(), QString::fromLatin1(procedure),
                                  QString::fromLatin1(kModule));
    else
        modLinkTrees::ReportError(QvErrors::General, QString::fromLocal8Bit(e.what()),
                                  QString::fromLatin1(procedure), QString::fromLatin1(kModule));
}

} // namespace

frmSNS::frmSNS(QWidget* parent) : QWidget(parent), mNextPaneId(PaneId::FirstSNSSite) {
    setObjectName(QStringLiteral("frmSNS"));
    setWindowTitle(QStringLiteral("社区"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    mInner = new QMainWindow(this);
    mInner->setWindowFlags(Qt::Widget);
    mInner->setDockNestingEnabled(true);
    layout->addWidget(mInner);

    mPanes = new DockingPaneManager(mInner);
    mPanes->SetIconStore(modInitial::gIconStore);
    connect(mPanes, &DockingPaneManager::AttachPaneRequested, this, &frmSNS::onAttachPane);
    connect(mPanes, &DockingPaneManager::PaneAction, this,
            [this](DockingPane* pane, DockingPaneManager::Action action, bool* cancel) {
                if (action == DockingPaneManager::Closing)
                    onPaneClosing(pane, cancel);
            });

    mList = new QListWidget;
    mList->setObjectName(QStringLiteral("lvw_SNSList"));
    mList->setAccessibleName(QStringLiteral("社区网站"));
    DockingPane* listPane = mPanes->CreatePane(PaneId::SNSList, 200, 200, DockingPaneManager::Left,
                                               QStringLiteral("社区网站"), kSiteIcon);
    listPane->setHandle(mList);
    // The list stays: its pane has no close button.
    if (QDockWidget* dock = listPane->dockWidget())
        dock->setFeatures(QDockWidget::NoDockWidgetFeatures);

    fillList();
    connect(mList, &QListWidget::itemChanged, this, &frmSNS::onItemChanged);
    // The sites with a record open again, each at its last address.
    for (int i = 0; i < mList->count(); ++i) {
        QListWidgetItem* item = mList->item(i);
        if (hasRecord(item->data(Qt::UserRole).toString()))
            item->setCheckState(Qt::Checked);
    }
}

frmSNS::~frmSNS() {
    disconnect(mList, nullptr, this, nullptr);
    disconnect(mPanes, nullptr, this, nullptr);
}

void frmSNS::fillList() {
    try {
        clsLinks* links = modInitial::gData ? LinksOf(modInitial::gData->CommonData()) : nullptr;
        if (!links)
            return;
        const XmlNodeList sites = links->getLinksXMLNodeListByCategory(QStringLiteral("SNS"));
        for (const XmlNode& node : sites) {
            try {
                const clsLink link = links->getLinkByNode(node);
                auto* item = new QListWidgetItem(link.Caption, mList);
                item->setData(Qt::UserRole, link.Id);
                item->setToolTip(link.Tip);
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
                item->setCheckState(Qt::Unchecked);
                if (modInitial::gIconStore)
                    item->setIcon(
                        modInitial::gIconStore->icon(modLinkTrees::IconNumber(link.IconNum, kSiteIcon)));
            } catch (const std::exception& e) {
                report("Form_Load", e);
            }
        }
    } catch (const std::exception& e) {
        report("Form_Load", e);
    }
}

bool frmSNS::hasRecord(const QString& linkId) const {
    clsActStatus* status = sessionState();
    if (!status || status->UserSNSNode.isNull())
        return false;
    // Records are found by the number of their id, as the session state finds them; a value
    // that is no number finds none.
    return !status->UserSNSNode
                .selectSingleNode(QStringLiteral("sns[number(@linkid)=number(%1)]").arg(XPathLiteral(linkId)))
                .isNull();
}

QListWidgetItem* frmSNS::SiteItem(const QString& linkId) const {
    for (int i = 0; i < mList->count(); ++i) {
        if (mList->item(i)->data(Qt::UserRole).toString() == linkId)
            return mList->item(i);
    }
    return nullptr;
}

frmPaneSNS* frmSNS::SitePane(const QString& linkId) const {
    const auto it = mPaneOfSite.constFind(linkId);
    return it == mPaneOfSite.constEnd() ? nullptr : mSitePages.value(*it).data();
}

DockingPane* frmSNS::SiteDockingPane(const QString& linkId) const {
    const auto it = mPaneOfSite.constFind(linkId);
    return it == mPaneOfSite.constEnd() ? nullptr : mPanes->FindPane(*it);
}

QString frmSNS::siteOfPane(int paneId) const {
    for (auto it = mPaneOfSite.constBegin(); it != mPaneOfSite.constEnd(); ++it) {
        if (it.value() == paneId)
            return it.key();
    }
    return QString();
}

void frmSNS::UnCheckLvwSNSList(const QString& linkId) {
    if (QListWidgetItem* item = SiteItem(linkId))
        item->setCheckState(Qt::Unchecked);
}

void frmSNS::onItemChanged(QListWidgetItem* item) {
    if (mListChanging || !item)
        return;
    mListChanging = true;
    const QString linkId = item->data(Qt::UserRole).toString();
    try {
        if (item->checkState() == Qt::Checked)
            openSite(linkId);
        else
            closeSite(linkId);
    } catch (const std::exception& e) {
        report("lvw_SNSList_ItemCheck", e);
    }
    mListChanging = false;
}

void frmSNS::openSite(const QString& linkId) {
    if (mPaneOfSite.contains(linkId))
        return;
    clsLinks* links = modInitial::gData ? LinksOf(modInitial::gData->CommonData()) : nullptr;
    if (!links)
        return;
    const clsLink link = links->getLinkById(linkId);
    const int paneId = mNextPaneId++;
    mPaneOfSite.insert(linkId, paneId);
    // Other sites' pages are already there: the new one joins them as a tab.
    DockingPane* neighbour = nullptr;
    for (auto it = mPaneOfSite.constBegin(); it != mPaneOfSite.constEnd() && !neighbour; ++it) {
        if (it.key() != linkId)
            neighbour = mPanes->FindPane(it.value());
    }
    DockingPane* pane = mPanes->CreatePane(paneId, 600, 400, DockingPaneManager::Right, link.Caption,
                                           modLinkTrees::IconNumber(link.IconNum, kSiteIcon));
    if (neighbour)
        mPanes->AttachPane(pane, neighbour);
    pane->Select();
    // Once the new pane has its place.
    QTimer::singleShot(0, this, &frmSNS::fitListWidth);
}

void frmSNS::fitListWidth() {
    DockingPane* list = mPanes->FindPane(PaneId::SNSList);
    if (!list || !list->dockWidget() || mPaneOfSite.isEmpty())
        return;
    // The list keeps its width; the sites' pages take the rest.
    QList<QDockWidget*> docks{list->dockWidget()};
    QList<int> widths{200};
    if (DockingPane* site = mPanes->FindPane(*mPaneOfSite.constBegin()); site && site->dockWidget()) {
        docks << site->dockWidget();
        widths << qMax(200, mInner->width() - 200);
    }
    mInner->resizeDocks(docks, widths, Qt::Horizontal);
}

void frmSNS::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    QTimer::singleShot(0, this, &frmSNS::fitListWidth);
}

void frmSNS::onAttachPane(DockingPane* pane) {
    if (!pane || pane->Id() == PaneId::SNSList || pane->Handle())
        return;
    const QString linkId = siteOfPane(pane->Id());
    if (linkId.isEmpty())
        return;
    try {
        QString address;
        if (clsActStatus* status = sessionState())
            address = status->getSNSLastOpenUrl(linkId);
        if (address.isEmpty()) {
            clsLinks* links = modInitial::gData ? LinksOf(modInitial::gData->CommonData()) : nullptr;
            if (links)
                address = links->getLinkById(linkId).UrlGetNode();
        }
        auto* page = new frmPaneSNS(linkId);
        // Deferred: the request comes from inside the page's own command or close handling.
        connect(page, &frmPaneSNS::uncheckRequested, this, &frmSNS::UnCheckLvwSNSList, Qt::QueuedConnection);
        connect(
            page, &frmPaneWebPage::closeRequested, this, [this, linkId] { UnCheckLvwSNSList(linkId); },
            Qt::QueuedConnection);
        pane->setHandle(page);
        mSitePages.insert(pane->Id(), page);
        page->goURL(address);
    } catch (const std::exception& e) {
        report("DockingPaneManager_AttachPane", e);
    }
}

void frmSNS::closeSite(const QString& linkId) {
    const auto it = mPaneOfSite.find(linkId);
    if (it != mPaneOfSite.end()) {
        const int paneId = it.value();
        mPaneOfSite.erase(it);
        // The engine goes first, so no late page of the site records it again.
        if (QPointer<frmPaneSNS> page = mSitePages.take(paneId))
            page->RequestClose();
        if (DockingPane* pane = mPanes->FindPane(paneId)) {
            mClosingSite = true;
            pane->Close();
            mClosingSite = false;
        }
    }
    // A site checked but never loaded has no record to forget.
    if (clsActStatus* status = sessionState(); status && hasRecord(linkId))
        status->RemoveUserSNS(linkId);
}

void frmSNS::onPaneClosing(DockingPane* pane, bool* cancel) {
    if (!pane || mClosingSite)
        return;
    if (pane->Id() == PaneId::SNSList) {
        *cancel = true;
        return;
    }
    // The pane's own close box: the site is unchecked, which closes the pane.
    const QString linkId = siteOfPane(pane->Id());
    if (linkId.isEmpty())
        return;
    *cancel = true;
    QTimer::singleShot(0, this, [this, linkId] { UnCheckLvwSNSList(linkId); });
}
