#include "web/ExternalRecentlyClosedPages.h"

#include "core/clsData.h"
#include "core/modInitial.h"
#include "web/BrowserExternal.h"
#include "web/clsActStatus.h"
#include "web/clsRecentClosedPages.h"

#include <QPromise>
#include <QTimer>

#include <exception>
#include <memory>

ExternalRecentlyClosedPages::ExternalRecentlyClosedPages(BrowserExternal* external)
    : QObject(external), mExternal(external) {
    list();
}

clsRecentClosedPages* ExternalRecentlyClosedPages::list() {
    clsRecentClosedPages* current = nullptr;
    try {
        if (modInitial::gData) {
            if (clsActStatus* status = ActStatusOf(modInitial::gData->UserData()))
                current = status->RecentlyClosedPages();
        }
    } catch (const std::exception&) {
        current = nullptr;
    }
    if (current != mConnected) {
        if (mConnected)
            disconnect(mConnected, nullptr, this, nullptr);
        mConnected = current;
        if (current)
            connect(current, &clsRecentClosedPages::Changed, this, &ExternalRecentlyClosedPages::Changed);
    }
    return current;
}

QString ExternalRecentlyClosedPages::GetWebData() {
    clsRecentClosedPages* pages = mExternal->CallAllowed() ? list() : nullptr;
    return pages ? pages->GetWebData() : QStringLiteral("var ILData=new Array();return ILData;");
}

QFuture<bool> ExternalRecentlyClosedPages::ask(std::function<bool(clsRecentClosedPages*)> work) {
    auto promise = std::make_shared<QPromise<bool>>();
    QFuture<bool> answer = promise->future();
    promise->start();
    if (mAsking || !mExternal->CallAllowed()) {
        promise->addResult(false);
        promise->finish();
        return answer;
    }
    mAsking = true;
    QTimer::singleShot(0, this, [this, promise, work = std::move(work)] {
        QPointer<ExternalRecentlyClosedPages> self(this);
        bool done = false;
        if (mExternal->CallAllowed()) {
            if (clsRecentClosedPages* pages = list())
                done = work(pages);
        }
        // The question runs its own event loop, during which the window may have gone.
        if (self)
            mAsking = false;
        promise->addResult(done);
        promise->finish();
    });
    return answer;
}

QFuture<bool> ExternalRecentlyClosedPages::Remove(const QString& vAsctime, bool isSilent) {
    return ask(
        [vAsctime, isSilent](clsRecentClosedPages* pages) { return pages->Remove(vAsctime, isSilent); });
}

QFuture<bool> ExternalRecentlyClosedPages::RemoveAll() {
    return ask([](clsRecentClosedPages* pages) { return pages->RemoveAll(); });
}
