#include "web/BrowserExternal.h"

#include "core/clsData.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"
#include "platform/PlainMessage.h"
#include "web/cWebBrowser.h"
#include "web/clsActStatus.h"
#include "web/clsRecentClosedPages.h"

#include <exception>

BrowserExternal::BrowserExternal(cWebBrowser* host) : QObject(host), mHost(host) {}

QObject* BrowserExternal::RecentlyClosedPages() const {
    try {
        if (!modInitial::gData)
            return nullptr;
        clsActStatus* status = ActStatusOf(modInitial::gData->UserData());
        return status ? status->RecentlyClosedPages() : nullptr;
    } catch (const std::exception& e) {
        if (modInitial::gIsDevelopMode) {
            try {
                modDevelopeFunction::WriteLog(QStringLiteral("external.RecentlyClosedPages: ") +
                                              QString::fromLocal8Bit(e.what()));
            } catch (const std::exception&) {
            }
        }
        return nullptr;
    }
}

void BrowserExternal::AddFavorite(const QString& vURL, const QString& vTitle) {
    // Without an address the command works on the page the host shows, as the browser's own
    // add-favorite command does; an internal page may name the page it means (a closed page).
    if (vURL.trimmed().isEmpty())
        mHost->Exec(cWebBrowser::CmdAddFavorite);
    else
        mHost->AddFavorite(vURL.trimmed(), vTitle.isEmpty() ? vURL.trimmed() : vTitle);
}

QString BrowserExternal::GetHostAppPath() const {
    return modInitial::AppPath();
}

void BrowserExternal::testMsg() const {
    ShowPlainMessage(QStringLiteral("abcOK"));
}
