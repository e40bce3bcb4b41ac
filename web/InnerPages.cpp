#include "web/InnerPages.h"

#include "core/XmlDocument.h"
#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/modFolders.h"
#include "core/modInitial.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

namespace {

const char* const kRelayScriptName = "qv-inner-page-relay";
const char* const kTransportScriptName = "qv-inner-page-transport";
const char* const kHandlerProperty = "qvInnerPageHandler";
// A thumbnail is a small picture; anything much larger is no file the program wrote there.
constexpr qint64 kMaxCacheFileSize = 16 * 1024 * 1024;

// Runs in HostWorld at the creation of every top-level document. The engine's transport exists
// in this world for every document; only an internal document relays it, as text in DOM events
// that its main world answers.
const char kRelayScript[] = R"JS((function () {
    "use strict";
    if (location.protocol !== "qv:" || typeof qt === "undefined" || !qt.webChannelTransport)
        return;
    var transport = qt.webChannelTransport;
    transport.onmessage = function (message) {
        document.dispatchEvent(new CustomEvent("qv-host-message", { detail: String(message.data) }));
    };
    document.addEventListener("qv-page-message", function (event) {
        if (typeof event.detail === "string")
            transport.send(event.detail);
    });
})();)JS";

// The channel's client script that Qt ships in its resources.
QString channelScriptSource() {
    static QString source;
    if (source.isEmpty()) {
        QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
        if (file.open(QIODevice::ReadOnly))
            source = QString::fromUtf8(file.readAll());
    }
    return source;
}

// Runs in the main world at the creation of every top-level document; only an internal
// document gets `QWebChannel` and a `qt.webChannelTransport` that talks to the relay.
QString transportScript() {
    return QStringLiteral(R"JS((function () {
    "use strict";
    if (location.protocol !== "qv:")
        return;
    (function () {
%1
        window.QWebChannel = QWebChannel;
    })();
    var transport = {
        onmessage: null,
        send: function (data) {
            document.dispatchEvent(new CustomEvent("qv-page-message", { detail: String(data) }));
        }
    };
    document.addEventListener("qv-host-message", function (event) {
        if (typeof transport.onmessage === "function")
            transport.onmessage({ data: event.detail });
    });
    window.qt = { webChannelTransport: transport };
})();)JS")
        .arg(channelScriptSource());
}

QWebEngineScript documentScript(const char* name, const QString& source, int world) {
    QWebEngineScript script;
    script.setName(QLatin1String(name));
    script.setSourceCode(source);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(quint32(world));
    script.setRunsOnSubFrames(false);
    return script;
}

void fail(QWebEngineUrlRequestJob* job, QWebEngineUrlRequestJob::Error error) {
    job->fail(error);
}

void reply(QWebEngineUrlRequestJob* job, const QByteArray& contentType, const QByteArray& body) {
    auto* buffer = new QBuffer(job);
    buffer->setData(body);
    buffer->open(QIODevice::ReadOnly);
    job->reply(contentType, buffer);
}

} // namespace

namespace InnerPages {

int HostWorld() {
    // A world of its own: the page's scripts live in the main world, and the application world
    // is where the program runs its own scripts into ordinary pages.
    return QWebEngineScript::UserWorld + 1;
}

void RegisterScheme() {
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    QWebEngineUrlScheme scheme(Scheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setDefaultPort(QWebEngineUrlScheme::PortUnspecified);
    // Not a local scheme: the engine keeps local documents away from the web, and the internal
    // page opens the closed pages' web addresses. What keeps web pages away from it is the
    // handler, which answers nobody but the program and internal pages, and the browser window,
    // which lets no ordinary page navigate to it.
    scheme.setFlags({});
    QWebEngineUrlScheme::registerScheme(scheme);
}

void InstallHandler(QWebEngineProfile* profile) {
    if (!profile || profile->property(kHandlerProperty).toBool())
        return;
    profile->setProperty(kHandlerProperty, true);
    profile->installUrlSchemeHandler(Scheme, new InnerPageSchemeHandler(profile));
}

void InstallScripts(QWebEnginePage* page) {
    if (!page)
        return;
    QWebEngineScriptCollection& scripts = page->scripts();
    if (scripts.find(QLatin1String(kRelayScriptName)).isEmpty())
        scripts.insert(documentScript(kRelayScriptName, QString::fromUtf8(kRelayScript), HostWorld()));
    if (scripts.find(QLatin1String(kTransportScriptName)).isEmpty())
        scripts.insert(documentScript(kTransportScriptName, transportScript(), QWebEngineScript::MainWorld));
}

QUrl Url(const QString& name) {
    QUrl url;
    url.setScheme(QLatin1String(Scheme));
    url.setHost(name);
    url.setPath(QStringLiteral("/"));
    return url;
}

bool IsInnerUrl(const QUrl& url) {
    return url.scheme() == QLatin1String(Scheme);
}

QString NameOf(const QUrl& url) {
    return IsInnerUrl(url) ? url.host() : QString();
}

QString Html(const QString& name) {
    if (name != QLatin1String("rcp") || !modInitial::gData)
        return QString();
    clsCommonData* common = modInitial::gData->CommonData();
    if (!common || common->XMLNode.isNull())
        return QString();
    const XmlNode node = common->XMLNode.selectSingleNode(QStringLiteral("prehtml/rcp"));
    return node.isNull() ? QString() : node.text();
}

} // namespace InnerPages

InnerPageSchemeHandler::InnerPageSchemeHandler(QObject* parent) : QWebEngineUrlSchemeHandler(parent) {}

QString InnerPageSchemeHandler::CacheFile(const QString& fileName) {
    if (fileName.isEmpty() || fileName.startsWith(QLatin1Char('.')) || fileName.contains(QLatin1Char('/')) ||
        fileName.contains(QLatin1Char('\\')))
        return QString();
    const QString folder = QDir(modFolders::CacheFolder()).canonicalPath();
    if (folder.isEmpty())
        return QString();
    const QFileInfo file(folder + QLatin1Char('/') + fileName);
    // A link is followed only when it ends inside the folder.
    if (!file.exists() || QFileInfo(file.canonicalFilePath()).absolutePath() != folder)
        return QString();
    if (!QFileInfo(file.canonicalFilePath()).isFile())
        return QString();
    return file.canonicalFilePath();
}

void InnerPageSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const QUrl url = job->requestUrl();
    const QUrl initiator = job->initiator();
    // The program's own navigations have no initiator; anything else must be an internal page.
    if (job->requestMethod() != QByteArrayLiteral("GET") ||
        (!initiator.isEmpty() && !InnerPages::IsInnerUrl(initiator))) {
        fail(job, QWebEngineUrlRequestJob::RequestDenied);
        return;
    }
    const QString path = url.path();
    if (path.isEmpty() || path == QLatin1String("/")) {
        reply(job, QByteArrayLiteral("text/html;charset=utf-8"),
              InnerPages::Html(InnerPages::NameOf(url)).toUtf8());
        return;
    }
    const QString cachePrefix = QStringLiteral("/Cache/");
    if (path.startsWith(cachePrefix)) {
        const QString file = CacheFile(path.mid(cachePrefix.size()));
        QFile in(file);
        if (file.isEmpty() || in.size() > kMaxCacheFileSize || !in.open(QIODevice::ReadOnly)) {
            fail(job, QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        const QByteArray type = QMimeDatabase().mimeTypeForFile(file).name().toLatin1();
        reply(job, type, in.readAll());
        return;
    }
    fail(job, QWebEngineUrlRequestJob::UrlNotFound);
}
