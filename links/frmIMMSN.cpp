#include "links/frmIMMSN.h"

#include "core/modInitial.h"
#include "web/BrowserPage.h"

#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineSettings>
#include <QWebEngineView>

frmIMMSN::frmIMMSN(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmIMMSN"));
    setWindowTitle(QStringLiteral("MSN留言"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(480, 400);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    mView = new QWebEngineView(this);
    auto* page = new BrowserPage(mView);
    page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    mView->setPage(page);
    mView->setAccessibleName(QStringLiteral("MSN留言"));
    layout->addWidget(mView);
    const QString address = modInitial::gInquiryMSN.trimmed();
    if (!address.isEmpty())
        mView->load(QUrl(address));
}
