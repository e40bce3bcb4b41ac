#include "web/cltWebPage.h"

#include "controls/TabbedWorkspace.h"
#include "core/QvError.h"
#include "core/modInitial.h"
#include "web/frmBrowser.h"
#include "web/frmMiddle.h"
#include "web/modOpenPageParameter.h"

namespace {

cltWebPage* gOpener = nullptr;

// `notshowadd` is read first on every open; a text that is not a Boolean is a type mismatch.
bool readNotShowAddress(const XmlNode& descriptor) {
    const QString text = descriptor.requiredAttribute(QStringLiteral("notshowadd"));
    try {
        return modOpenPageParameter::ReadBoolean(text);
    } catch (const QvError&) {
        throw QvError(QvErrors::TypeMismatch,
                      QStringLiteral("element <%1>: attribute \"notshowadd\" is not a Boolean: \"%2\"")
                          .arg(descriptor.nodeName(), text));
    }
}

} // namespace

cltWebPage::cltWebPage() = default;

cltWebPage* cltWebPage::Global() {
    if (!gOpener)
        gOpener = new cltWebPage();
    return gOpener;
}

void cltWebPage::ReleaseGlobal() {
    cltWebPage* opener = gOpener;
    gOpener = nullptr;
    if (!opener)
        return;
    // A first window that was never shown belongs to nobody else.
    if (frmBrowser* first = opener->mFirstWindow; first && first->isHidden() && !first->parentWidget())
        delete first;
    delete opener;
}

frmBrowser* cltWebPage::CreateFirstWindow() {
    if (!mFirstWindow) {
        mFirstWindow = new frmBrowser();
        emit windowCreated(mFirstWindow);
    }
    return mFirstWindow;
}

frmBrowser* cltWebPage::PendingFirstWindow() const {
    return mFirstWindow;
}

frmMiddle* cltWebPage::MiddlePage() const {
    return mfrmMiddle;
}

void cltWebPage::initialNewWebPage() {
    frmBrowser* first = CreateFirstWindow();
    first->isFirstLoad = true;
    showWindow(first);
}

void cltWebPage::OpenNewPage() {
    NewPage(QStringLiteral("rcp"));
}

void cltWebPage::NewPage(const QString& innerPages) {
    if (innerPages.isEmpty()) {
        Add(QStringLiteral("about:blank"));
        return;
    }
    frmBrowser* window = takeFirstWindow();
    if (!window)
        window = CreateWindow();
    window->GoInnerPage(innerPages);
}

frmBrowser* cltWebPage::Add(const QString& strURL, const NavigateOptions& options) {
    if (frmBrowser* first = takeFirstWindow()) {
        // The start-up window takes the first request as it is, an empty address included.
        first->goURL(strURL, options);
        return first;
    }
    frmBrowser* window = CreateWindow();
    // An empty address gives a window for the engine to fill (a page's new-window request).
    if (!strURL.isEmpty())
        window->goURL(strURL, options);
    return window;
}

void cltWebPage::OpenWebPageAsNode(const XmlNode& methodNode) {
    if (methodNode.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("no link descriptor given"));
    const bool notShowAddress = readNotShowAddress(methodNode);
    const QString openmethod = methodNode.requiredAttribute(QStringLiteral("openmethod"));
    if (openmethod == QLatin1String("1")) {
        const XmlNode get = modOpenPageParameter::MethodElement(methodNode);
        const QString parameters = modOpenPageParameter::BuildParameterString(get);
        const QString url = get.requiredAttribute(QStringLiteral("url"));
        // The "?" goes in whether or not the address has a query already: the descriptor's
        // address is taken to have none.
        Add(parameters.isEmpty() ? url : url + '?' + parameters);
    } else if (openmethod == QLatin1String("2")) {
        const XmlNode post = modOpenPageParameter::MethodElement(methodNode);
        const QString parameters = modOpenPageParameter::BuildParameterString(post);
        NavigateOptions options;
        const QString url = post.requiredAttribute(QStringLiteral("url"));
        options.TargetFrameName = post.requiredAttribute(QStringLiteral("targetframename"));
        options.Headers = post.requiredAttribute(QStringLiteral("header"));
        options.flags = post.requiredAttribute(QStringLiteral("flags"));
        // Present even when empty: an empty body is still a POST.
        options.PostData = parameters;
        Add(url, options);
    } else if (openmethod == QLatin1String("3")) {
        if (!mfrmMiddle) {
            mfrmMiddle = new frmMiddle(this);
            connect(mfrmMiddle, &frmMiddle::MiddleOpenError, this, &cltWebPage::onMiddleEnded);
            connect(mfrmMiddle, &frmMiddle::MiddleOpenSuccess, this, &cltWebPage::onMiddleEnded);
        }
        // A running middle page takes the new descriptor and starts over. When the element
        // fails to read, the page stays for the next open.
        mfrmMiddle->SetNotShowAddress(notShowAddress);
        mfrmMiddle->SetMiddleNode(modOpenPageParameter::MethodElement(methodNode));
        mfrmMiddle->goURL();
    }
    // Any other method opens nothing and is no error.
}

frmBrowser* cltWebPage::CreateWindow() {
    auto* window = new frmBrowser();
    emit windowCreated(window);
    showWindow(window);
    return window;
}

void cltWebPage::showWindow(frmBrowser* window) {
    if (modInitial::gWorkspace)
        modInitial::gWorkspace->AddWindow(window);
    window->show();
}

frmBrowser* cltWebPage::takeFirstWindow() {
    frmBrowser* first = mFirstWindow;
    mFirstWindow = nullptr;
    // It normally was shown by initialNewWebPage; a request that comes earlier shows it, since
    // a window that is never shown never gets ready to navigate.
    if (first && first->isHidden())
        showWindow(first);
    return first;
}

void cltWebPage::onMiddleEnded() {
    if (sender() != mfrmMiddle)
        return;
    frmMiddle* middle = mfrmMiddle;
    mfrmMiddle = nullptr;
    // The event comes from the middle page itself; it goes once control is back in the loop.
    middle->deleteLater();
}
