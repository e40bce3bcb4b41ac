#include "web/frmMiddle.h"

#include "core/QvError.h"
#include "core/modDevelopeFunction.h"
#include "core/modFolders.h"
#include "core/modInitial.h"
#include "platform/AnsiCodec.h"
#include "web/InnerPages.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>

namespace {

// Qt has no "busy" state to ask once a script has clicked a submit button: the form's request for
// its new window arrives a moment later, or never (a submit handler may cancel). This is how long
// the middle page waits for it before it gives up.
constexpr int kSubmitWaitMs = 3000;

// Chooses the form, fills it, points it at a new window and submits it. Runs in the
// application's own script world, so the page's scripts cannot replace the functions used here;
// DOM accessors are taken from the prototypes because a field named "elements" or "forms"
// would otherwise stand in for the collection. Frames are other realms: their objects are told
// apart by node type and tag, never by instanceof. The data arrive as one JSON argument.
const char kFillFunction[] = R"JS(function (d) {
    function getter(proto, name) { return Object.getOwnPropertyDescriptor(proto, name).get; }
    var formsOf = getter(Document.prototype, 'forms');
    var elementsOf = getter(HTMLFormElement.prototype, 'elements');
    var requestSubmit = HTMLFormElement.prototype.requestSubmit;
    function field(form, name) {
        var item = elementsOf.call(form).namedItem(name);
        return item && item.nodeType !== 1 ? item[0] : item;
    }
    // The top-level document, then the documents of the frames it may reach (same origin), in
    // document order, depth first.
    function documents(win, out) {
        var doc = null;
        try { doc = win.document; } catch (e) { doc = null; }
        if (!doc) return out;
        out.push(doc);
        for (var i = 0; i < win.frames.length; ++i) documents(win.frames[i], out);
        return out;
    }
    function choose(forms) {
        if (d.formName !== '') return forms.namedItem(d.formName);
        for (var i = 0; i < forms.length; ++i) {
            var f = forms[i];
            if (d.submitName !== '') {
                if (field(f, d.submitName)) return f;
            } else if (d.pars.length > 0 && d.pars.every(function (p) { return field(f, p[0]) !== null; })) {
                return f;
            }
        }
        return null;
    }
    // Only the page the descriptor names gets the values: a page that moved on to another site
    // (a redirect before the form could be filled) gets nothing.
    var here = d.expectHref !== '' ? String(location.href).split('#')[0] === d.expectHref
                                   : d.origins.indexOf(String(location.origin)) >= 0;
    if (!here) return { form: false, clicked: 0, error: '', elsewhere: String(location.origin) };
    var docs = documents(window, []);
    var form = null;
    for (var n = 0; n < docs.length && !form; ++n) form = choose(formsOf.call(docs[n]));
    if (!form) return { form: false, clicked: 0, error: '' };
    for (var j = 0; j < d.pars.length; ++j) {
        var named = elementsOf.call(form).namedItem(d.pars[j][0]);
        if (!named) return { form: true, clicked: 0, error: 'the form has no field named "' + d.pars[j][0] + '"' };
        named.value = d.pars[j][1];
    }
    Element.prototype.setAttribute.call(form, 'target', '_blank');
    var clicked = 0;
    if (d.submitName !== '') {
        var button = field(form, d.submitName);
        if (button && typeof button.click === 'function') { button.click(); clicked = 1; }
    } else {
        // Every submit button in document order: <input type="submit">, and <button> of type
        // submit, which a <button> without a type is. A click runs the page's own handlers as a
        // user's click would.
        var all = Array.prototype.slice.call(elementsOf.call(form));
        for (var k = 0; k < all.length; ++k) {
            var el = all[k];
            var tag = el.localName;
            if ((tag === 'input' || tag === 'button') && el.type === 'submit') { el.click(); ++clicked; }
        }
        // A form without any submit button is sent as pressing Enter in it would send it.
        if (clicked === 0) { requestSubmit.call(form); clicked = 1; }
    }
    return { form: true, clicked: clicked, error: '' };
})JS";

bool isPlainFileName(const QString& name) {
    return !name.isEmpty() && !name.contains('/') && !name.contains('\\') &&
           !name.contains(QLatin1String(".."));
}

// The local page is a file, and the engine lets a file's submission reach the web only in a page
// that allows local content to load remote addresses. The window that receives the submission
// allows it until that navigation has ended, then takes its own setting back.
void allowSubmissionFromLocalPage(QWebEnginePage* window) {
    if (window->settings()->testAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls))
        return;
    window->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    auto* guard = new QObject(window);
    QObject::connect(
        window, &QWebEnginePage::loadingChanged, guard, [window, guard](const QWebEngineLoadingInfo& info) {
            if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
                return;
            window->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
            guard->deleteLater();
        });
}

// The origins whose pages may be filled for a descriptor's address: its own, and the secure
// version of the same host when the address is plain http on the default port (sites move their
// login pages to https).
QStringList acceptedOrigins(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    const auto origin = [&url](const QString& originScheme, int port) {
        QUrl o;
        o.setScheme(originScheme);
        o.setHost(url.host(QUrl::FullyEncoded).toLower());
        o.setPort(port);
        return o.toString(QUrl::FullyEncoded);
    };
    int port = url.port();
    if ((scheme == QLatin1String("http") && port == 80) || (scheme == QLatin1String("https") && port == 443))
        port = -1;
    QStringList origins{origin(scheme, port)};
    if (scheme == QLatin1String("http") && port == -1)
        origins << origin(QStringLiteral("https"), -1);
    return origins;
}

void reportProblem(const QString& text) {
    qWarning("middle page: %s", qUtf8Printable(text));
    if (modInitial::gIsDevelopMode)
        modDevelopeFunction::WriteLog(QStringLiteral("frmMiddle: ") + text);
}

} // namespace

// The hidden page. Its new-window requests (the form submitting into "_blank") go to the middle
// page, which answers with an ordinary browser window.
class MiddleWebPage : public QWebEnginePage {
public:
    // The browser windows use the default profile; a new window can only take over the
    // submission when both pages share it.
    explicit MiddleWebPage(frmMiddle* owner)
        : QWebEnginePage((InnerPages::RegisterScheme(), QWebEngineProfile::defaultProfile()), owner),
          mOwner(owner) {
        settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
        settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    }

protected:
    QWebEnginePage* createWindow(WebWindowType) override { return mOwner->onNewWindow(); }

private:
    frmMiddle* mOwner;
};

frmMiddle::frmMiddle(QObject* parent)
    : QObject(parent), mPage(new MiddleWebPage(this)), mSubmitWait(new QTimer(this)) {
    mSubmitWait->setSingleShot(true);
    mSubmitWait->setInterval(kSubmitWaitMs);
    connect(mSubmitWait, &QTimer::timeout, this, [this] {
        // A page that is loading again will complete once more and be looked at then.
        if (!mEnded && !mNewWindow && !mPage->isLoading())
            endWithError();
    });
    connect(mPage, &QWebEnginePage::loadingChanged, this, &frmMiddle::onLoadingChanged);
}

frmMiddle::~frmMiddle() {
    // Answers of scripts still running come back empty when the page goes; they belong to no
    // open any more.
    ++mGeneration;
    mEnded = true;
    mSubmitWait->stop();
    mPage->triggerAction(QWebEnginePage::Stop);
    delete mPage;
    mPage = nullptr;
    dropValues();
    removeLocalFile();
}

QWebEnginePage* frmMiddle::page() const {
    return mPage;
}

void frmMiddle::goURL() {
    if (mNode.isNull())
        throw QvError(QvErrors::ObjectMissing,
                      QStringLiteral("the middle page has no <middle> element to open"));
    // Everything is read before anything changes, so a malformed element leaves the page as it was.
    const QString formName = mNode.requiredAttribute(QStringLiteral("formname"));
    const QString submitName = mNode.requiredAttribute(QStringLiteral("submitname"));
    const QString url = mNode.requiredAttribute(QStringLiteral("url"));
    const QString urlGoType = mNode.requiredAttribute(QStringLiteral("urlgotype"));
    // The parameters are taken now rather than when the page has loaded: a `par` without name or
    // value then fails here, where the caller can see it, and not inside a load event.
    QList<QPair<QString, QString>> pars;
    for (const XmlNode& par : mNode.childElements()) {
        if (par.nodeName() == QLatin1String("par"))
            pars.append({par.requiredAttribute(QStringLiteral("name")),
                         par.requiredAttribute(QStringLiteral("value"))});
    }
    QString localPath;
    QString htmlContent;
    if (urlGoType == QLatin1String("2")) {
        const QString localName = mNode.requiredAttribute(QStringLiteral("localname"));
        htmlContent = mNode.requiredAttribute(QStringLiteral("htmlcontent"));
        // The page is written into the user's data folder (beside User.dat) and nowhere else.
        if (!isPlainFileName(localName))
            throw QvError(
                QvErrors::InvalidArgument,
                QStringLiteral("element <%1>: attribute \"localname\" must be a plain file name, not \"%2\"")
                    .arg(mNode.nodeName(), localName));
        localPath = modFolders::LocalPageFolder() + QLatin1Char('/') + localName;
        // The page goes into a file of its own, which is deleted again: a name that is taken
        // already (the user data, the common data, the icons, anything else there) is refused
        // rather than overwritten. The file this page wrote itself may be written again.
        const QFileInfo existing(localPath);
        if ((existing.exists() || existing.isSymLink()) && localPath != mLocalPath)
            throw QvError(
                QvErrors::InvalidArgument,
                QStringLiteral(
                    "element <%1>: attribute \"localname\" names a file that exists already: \"%2\"")
                    .arg(mNode.nodeName(), localName));
    }

    if (mLocalPath != localPath)
        removeLocalFile();
    if (!localPath.isEmpty()) {
        QDir().mkpath(modFolders::LocalPageFolder());
        QFile file(localPath);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(AnsiCodec::fromUnicode(htmlContent)) < 0) {
            file.remove();
            throw QvError(QvErrors::PathAccess,
                          QStringLiteral("cannot write the local page \"%1\"").arg(localPath));
        }
    }

    const QUrl target = localPath.isEmpty() ? QUrl::fromUserInput(url) : QUrl::fromLocalFile(localPath);
    mFormName = formName;
    mSubmitName = submitName;
    mLocalPath = localPath;
    mPars = pars;
    // A page written locally is matched by its own address (files have no origin to compare).
    mExpectedHref =
        target.isLocalFile() ? target.adjusted(QUrl::RemoveFragment).toString(QUrl::FullyEncoded) : QString();
    mExpectedOrigins = target.isLocalFile() ? QStringList() : acceptedOrigins(target);
    ++mGeneration;
    mEnded = false;
    mFilled = false;
    mNewWindow = false;
    mSubmitWait->stop();
    mPage->load(target);
}

void frmMiddle::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus) {
        // The page is busy with a new document; its completion decides.
        mSubmitWait->stop();
        return;
    }
    onDocumentComplete();
}

void frmMiddle::onDocumentComplete() {
    // Qt reports the completion of the top-level document only, after its frames have loaded:
    // the form is looked for in the document and its frames then, and "completed and not busy"
    // means this.
    if (mEnded)
        return;
    if (mNewWindow) {
        endWithSuccess();
        return;
    }
    if (mFilled) {
        // The values went into a form once and are gone; a page that loads again after the
        // submission gets the usual while to ask for its window.
        mSubmitWait->start();
        return;
    }
    if (mNode.isNull())
        return;
    QJsonArray pars;
    for (const auto& [name, value] : mPars)
        pars.append(QJsonArray{name, value});
    const QJsonObject data{{QStringLiteral("formName"), mFormName},
                           {QStringLiteral("submitName"), mSubmitName},
                           {QStringLiteral("pars"), pars},
                           {QStringLiteral("expectHref"), mExpectedHref},
                           {QStringLiteral("origins"), QJsonArray::fromStringList(mExpectedOrigins)}};
    // The values go into the script as JSON, never as script text of their own.
    const QString script = QStringLiteral("(") + QString::fromUtf8(kFillFunction) + QStringLiteral(")(") +
                           QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact)) +
                           QStringLiteral(")");
    const int generation = mGeneration;
    QPointer<frmMiddle> self(this);
    mPage->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                         [self, generation](const QVariant& result) {
                             if (self)
                                 self->onFilled(result, generation);
                         });
}

void frmMiddle::onFilled(const QVariant& result, int generation) {
    if (generation != mGeneration || mEnded)
        return;
    if (mNewWindow) {
        endWithSuccess();
        return;
    }
    const QVariantMap answer = result.toMap();
    const QString error = answer.value(QStringLiteral("error")).toString();
    if (!error.isEmpty())
        reportProblem(error);
    if (answer.contains(QStringLiteral("elsewhere")))
        reportProblem(
            QStringLiteral("the page moved to %1, which the descriptor does not name; nothing was filled")
                .arg(answer.value(QStringLiteral("elsewhere")).toString()));
    if (answer.value(QStringLiteral("form")).toBool()) {
        // The values are in the form now; the page keeps no copy of them.
        mFilled = true;
        dropValues();
    }
    if (answer.value(QStringLiteral("clicked")).toInt() > 0) {
        // Submitted: the new window is on its way, unless the page thinks otherwise.
        mSubmitWait->start();
        return;
    }
    if (!mPage->isLoading())
        endWithError();
}

QWebEnginePage* frmMiddle::onNewWindow() {
    // Nothing may end the middle page while the window is made (making it can run events).
    const bool ended = mEnded;
    mEnded = true;
    mSubmitWait->stop();
    QPointer<frmMiddle> self(this);
    frmBrowser* window = nullptr;
    try {
        window = cltWebPage::Global()->Add(QString());
    } catch (const QvError& e) {
        reportProblem(e.description());
    }
    QWebEnginePage* target = window ? window->page() : nullptr;
    if (!self)
        return target;
    if (target && !mLocalPath.isEmpty())
        allowSubmissionFromLocalPage(target);
    mNewWindow = true;
    if (!ended)
        raiseEnd(true);
    return target;
}

void frmMiddle::endWithSuccess() {
    if (mEnded)
        return;
    mEnded = true;
    mSubmitWait->stop();
    raiseEnd(true);
}

void frmMiddle::endWithError() {
    if (mEnded)
        return;
    mEnded = true;
    mSubmitWait->stop();
    // The user still gets a window to go on from.
    QPointer<frmMiddle> self(this);
    try {
        cltWebPage::Global()->Add(QString());
    } catch (const QvError& e) {
        reportProblem(e.description());
    }
    if (self)
        raiseEnd(false);
}

void frmMiddle::dropValues() {
    mPars.clear();
    mNode = XmlNode();
}

void frmMiddle::raiseEnd(bool success) {
    // However it ended, the values it was given are no longer needed.
    dropValues();
    // Delivered from the event loop: the receiver deletes this page, which must not happen
    // inside the engine's own call (the new window is handed over after createWindow returns).
    const int generation = mGeneration;
    QMetaObject::invokeMethod(
        this,
        [this, generation, success] {
            if (generation != mGeneration)
                return;
            mPage->triggerAction(QWebEnginePage::Stop);
            if (success)
                emit MiddleOpenSuccess();
            else
                emit MiddleOpenError();
        },
        Qt::QueuedConnection);
}

void frmMiddle::removeLocalFile() {
    if (!mLocalPath.isEmpty())
        QFile::remove(mLocalPath);
    mLocalPath.clear();
}
