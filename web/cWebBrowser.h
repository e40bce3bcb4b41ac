#pragma once
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>

class BrowserExternal;
class BrowserPage;
class QPrinter;
class QWebChannel;
class QWebEngineView;
class QWidget;

// The browser host of one browser window: creates the engine (a QWebEngineView with the
// window's page) inside the window, and does for the window what the engine does not do on its
// own: the context-menu switch, thumbnails, writing HTML directly, the print, page-setup and
// save-as commands, and the `external` object that the program's internal pages see.
//
// Every host is in the global host list from INIAll until pvReleaseWBControl, under its window's
// handle (WindowHandle).
class cWebBrowser : public QObject {
    Q_OBJECT
public:
    // The document commands the window runs through Exec.
    enum Command {
        CmdSaveAs = 4,
        CmdPrint = 6,
        CmdPrintPreview = 7,
        CmdPageSetup = 8,
        CmdAddFavorite = 2261,
    };
    // Host flags: no outer 3D border, themes, IME reconversion, forms autocomplete.
    static constexpr qint32 DefaultHostInfo = 0x264000;
    // Width of a thumbnail in pixels.
    static constexpr int ThumbnailWidth = 210;

    explicit cWebBrowser(QObject* parent = nullptr);
    ~cWebBrowser() override;

    // Creates the engine for the window `nfrm`: the view becomes a child of `container` (the
    // window itself when null), and the host enters the global host list under the window's
    // handle. A second call does nothing.
    void INIAll(QWidget* nfrm, QWidget* container = nullptr);
    // The engine's view and page (null before INIAll and after pvReleaseWBControl).
    QWebEngineView* WBCtrl() const;
    BrowserPage* page() const;
    QWidget* vFrmWeb() const { return mForm; }
    // The window handle the host is listed under.
    QString WebbrowserID;
    bool isCreated() const { return mCreated; }

    qint32 HostInfo() const { return mHostInfo; }
    void setHostInfo(qint32 flags) { mHostInfo = flags; }
    // Kept for the window; the engine's look does not depend on them here.
    bool BrowseMode = true;
    QString UserAgent;

    // Whether the engine shows its context menu.
    bool m_bContextMenu() const { return mContextMenu; }
    void set_m_bContextMenu(bool allowed);

    // Places the engine on that rectangle of its container.
    void ResizeWeb(int left, int top, int right, int bottom);
    void ResizeWeb(const QRect& rect);

    // The last focus request; true gives the page the keyboard focus.
    bool Focus() const { return mFocus; }
    void setFocus(bool focus);

    // Saves a picture of the page as a BMP file, ThumbnailWidth pixels wide and as high as the
    // view's height scaled to that width (rounded). Creates the file's folder when missing.
    // False when the engine is gone, has no size, or the picture cannot be taken or written.
    // A page that is not on show (a tab under another one) is saved as it looked last.
    bool SaveToBmp(const QString& strPath);
    // Replaces the document with `HTMLstring`; relative addresses in it resolve against `baseUrl`
    // (a file: folder lets it show local pictures).
    void setHtmlDirect(const QString& HTMLstring, const QUrl& baseUrl = QUrl());

    // Runs a document command (save as, print, print preview, page setup, add favorite).
    // False when the command is unknown, unavailable, another command's dialog is still open, or
    // the user cancelled its dialog. A print waits at most two minutes for the engine.
    bool Exec(int command);
    // Whether the command can run now; `name` receives its name.
    bool QueryStatus(int command, QString* name = nullptr) const;

    // Adds a favorite through the favorites handler. False when none is installed.
    bool AddFavorite(const QString& url, const QString& title);
    // The favorites subsystem installs the add-favorite dialog here; an empty function removes it.
    static void SetAddFavoriteHandler(std::function<void(const QString& url, const QString& title)> handler);

    // The object internal pages see as `external`; ordinary pages never reach it.
    BrowserExternal* External() const { return mExternal; }
    // Whether the page's current address is an internal page (its scheme, InnerPages).
    bool ShowsInnerPage() const;

    // Stops the engine, deletes it and takes the host out of the global host list.
    void pvReleaseWBControl();

    // The handle a window is known by, as decimal text: a number the window keeps for its life.
    static QString WindowHandle(QWidget* window);
    // The global host list, keyed by the decimal window handle.
    static QMap<QString, cWebBrowser*> gBrowserHosts();
    static cWebBrowser* HostOf(const QString& key);
    // The key of the host whose page had the focus last (empty when none).
    static QString ActiveHostKey();

signals:
    // The page asked for a favorite and no handler took it (shown in the developer log too).
    void AddFavoriteRequested(const QString& url, const QString& title);

private:
    QPrinter* printer();
    bool printWithDialog();
    bool printPreview();
    bool pageSetup();
    bool saveAs();
    bool printAndWait(QPrinter* target);
    void onFocusChanged(QWidget* now);

    QPointer<QWidget> mForm;
    QPointer<QWebEngineView> mView;
    QPointer<BrowserPage> mPage;
    BrowserExternal* mExternal = nullptr;
    QWebChannel* mChannel = nullptr;
    std::unique_ptr<QPrinter> mPrinter;

    bool mCreated = false;
    // A print is under way / a command's dialog is open.
    bool mPrinting = false;
    bool mExecuting = false;
    bool mContextMenu = true;
    bool mFocus = false;
    qint32 mHostInfo = DefaultHostInfo;
};
