#pragma once
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>

class QWebEnginePage;
class QWebEngineProfile;

// The program's internal pages ("rcp", the recently closed pages) come from a URL scheme of the
// program's own, "qv://<name>/", served from the common data by InnerPageSchemeHandler, which
// answers only the program's own navigations and internal pages: an ordinary web page can
// neither load nor embed one (and the browser window does not let it navigate to one).
//
// The host objects reach a page through a web channel that lives in a script world of its own
// (HostWorld), which page scripts never see. Two scripts run at the creation of every top-level
// document: in that world a relay, and in the page's main world the `qt.webChannelTransport`
// and `QWebChannel` that internal pages use. Both first look at the document's own address and
// do nothing unless it has the internal scheme, so a document that is not an internal page
// never gets the host objects, whatever way it was reached (typed, link, script, history, a
// redirect or the engine itself).
namespace InnerPages {

// The scheme's name.
inline constexpr char Scheme[] = "qv";
// The script world of the host's web channel (never the page's main world).
int HostWorld();

// Registers the scheme with the engine. Must run before the engine starts (before the first
// page or profile is made); later calls do nothing. The program calls it before the application
// object exists; every browser and middle page calls it again before it makes its page.
void RegisterScheme();
// Serves the scheme in `profile` (once per profile).
void InstallHandler(QWebEngineProfile* profile);
// Puts the relay and the main-world transport into `page`'s scripts (once per page).
void InstallScripts(QWebEnginePage* page);

// "qv://<name>/".
QUrl Url(const QString& name);
// Whether the address has the internal scheme; the page's name is its host.
bool IsInnerUrl(const QUrl& url);
QString NameOf(const QUrl& url);

// The HTML of an internal page: "rcp" is the common data's prehtml/rcp, any other name an empty
// document.
QString Html(const QString& name);

} // namespace InnerPages

// Answers the engine's requests for "qv:" addresses: "qv://<name>/" is the internal page, and
// "qv://<name>/Cache/<file>" a thumbnail of the program's Cache folder. Only requests made by
// the program itself or by an internal page are answered; nothing outside the Cache folder is
// ever served.
class InnerPageSchemeHandler : public QWebEngineUrlSchemeHandler {
    Q_OBJECT
public:
    explicit InnerPageSchemeHandler(QObject* parent = nullptr);
    void requestStarted(QWebEngineUrlRequestJob* job) override;

    // The file of the Cache folder that `fileName` names, or empty when it names none (a path, a
    // hidden name, a link leading out of the folder, no regular file).
    static QString CacheFile(const QString& fileName);
};
