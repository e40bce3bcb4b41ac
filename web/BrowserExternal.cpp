#include "web/BrowserExternal.h"

#include "core/modInitial.h"
#include "platform/PlainMessage.h"
#include "web/ExternalRecentlyClosedPages.h"
#include "web/cWebBrowser.h"

#include <QTimer>

BrowserExternal::BrowserExternal(cWebBrowser* host)
    : QObject(host), mHost(host), mPages(new ExternalRecentlyClosedPages(this)) {}

bool BrowserExternal::CallAllowed() const {
    return mHost && mHost->isCreated() && mHost->ShowsInnerPage();
}

QObject* BrowserExternal::RecentlyClosedPages() const {
    return mPages;
}

void BrowserExternal::AddFavorite(const QString& vURL, const QString& vTitle) {
    if (!CallAllowed())
        return;
    const QString url = vURL.trimmed();
    const QString title = vTitle.isEmpty() ? url : vTitle;
    QTimer::singleShot(0, this, [this, url, title] {
        if (!CallAllowed())
            return;
        // Without an address the command works on the page the host shows, as the browser's own
        // add-favorite command does; an internal page may name the page it means (a closed page).
        if (url.isEmpty())
            mHost->Exec(cWebBrowser::CmdAddFavorite);
        else
            mHost->AddFavorite(url, title);
    });
}

QString BrowserExternal::GetHostAppPath() const {
    return CallAllowed() ? modInitial::AppPath() : QString();
}

void BrowserExternal::testMsg() const {
    if (!CallAllowed())
        return;
    QTimer::singleShot(0, this, [] { ShowPlainMessage(QStringLiteral("abcOK")); });
}
