#include "web/frmPaneSNS.h"

#include "controls/CommandBars.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/modInitial.h"
#include "web/clsActStatus.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

frmPaneSNS::frmPaneSNS(const QString& linkId, QWidget* parent) : frmPaneWebPage(parent), LinkId(linkId) {
    setObjectName(QStringLiteral("frmPaneSNS"));
    CommandBarControl* close =
        toolBar()->Add(CommandBarControl::Button, Cmd::CloseSNSPane, QStringLiteral("关闭"));
    close->setTooltipText(QStringLiteral("关闭可以在设置面板离重新打开"));
    close->setStyle(CommandBarControl::StyleIconAndCaption);
    close->setBeginGroup(true);
}

QWebEnginePage* frmPaneSNS::newWindowPage() {
    // A site's pop-ups are pages of their own: they open as browser tabs.
    frmBrowser* window = cltWebPage::Global()->Add(QString());
    return window ? window->page() : nullptr;
}

void frmPaneSNS::documentComplete(const QUrl& url) {
    if (!modInitial::gData || LinkId.isEmpty())
        return;
    if (clsActStatus* status = ActStatusOf(modInitial::gData->UserData()))
        status->UpdateUserSNS(LinkId, url.toString());
}

void frmPaneSNS::executeOther(CommandBarControl* control) {
    if (control && control->Id() == Cmd::CloseSNSPane)
        emit uncheckRequested(LinkId);
}

QString frmPaneSNS::moduleText() const {
    return QStringLiteral("Form frmPaneSNS");
}
