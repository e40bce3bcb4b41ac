#include "update/modServerRequests.h"

#include "core/clsData.h"
#include "core/clsUserData.h"
#include "update/clsXMLGetText.h"

#include <QCoreApplication>

namespace modServerRequests {

namespace {
const QString kUserIDFetcher = QStringLiteral("xmlgetUserID");
}

void RequestUserID(clsUserData* store, const QString& url) {
    if (auto* pending = store->findChild<clsXMLGetText*>(kUserIDFetcher, Qt::FindDirectChildrenOnly)) {
        // Its reply must not reach the store any more; it goes once control is back in the loop
        // (this may run inside its own Completed).
        pending->setObjectName(QString());
        pending->disconnect(store);
        pending->deleteLater();
    }
    auto* fetcher = new clsXMLGetText(store);
    fetcher->setObjectName(kUserIDFetcher);
    QObject::connect(fetcher, &clsXMLGetText::Completed, store, [store, fetcher](const QString& text) {
        fetcher->setObjectName(QString());
        fetcher->deleteLater();
        store->OnUserIDReply(text);
    });
    fetcher->OpenURL(url);
}

void RequestPage(const QString& url) {
    auto* fetcher = new clsXMLGetText(QCoreApplication::instance());
    QObject::connect(fetcher, &clsXMLGetText::Completed, fetcher, &QObject::deleteLater);
    fetcher->OpenURL(url);
}

void Install() {
    clsUserData::SetUserIDRequester(RequestUserID);
    clsData::SetPageRequester(RequestPage);
}

} // namespace modServerRequests
