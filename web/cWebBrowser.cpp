#include "web/cWebBrowser.h"

#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"
#include "web/BrowserExternal.h"
#include "web/BrowserPage.h"
#include "web/InnerPages.h"
#include "web/PageLifecycle.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QPageSetupDialog>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QQuickWidget>
#include <QTimer>
#include <QWebChannel>
#include <QWebEngineDownloadRequest>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <cmath>
#include <exception>

namespace {

QMap<QString, cWebBrowser*>& hostList() {
    static QMap<QString, cWebBrowser*> hosts;
    return hosts;
}

QString& activeHostKey() {
    static QString key;
    return key;
}

std::function<void(const QString&, const QString&)>& addFavoriteHandler() {
    static std::function<void(const QString&, const QString&)> handler;
    return handler;
}

// How long a print may take before the window stops waiting for it. The engine renders the
// whole page before the printer gets it; a page that never finishes must not keep the window in
// a nested event loop for ever.
constexpr int kPrintTimeLimitMs = 120000;

bool isInside(const QWidget* widget, const QWidget* ancestor) {
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (w == ancestor)
            return true;
    }
    return false;
}

} // namespace

QString cWebBrowser::WindowHandle(QWidget* window) {
    if (!window)
        return QString();
    // Asking a child window for its native id would make it a native window, and the engine's
    // view does not survive being placed in one on X11 (the program crashes). A window is
    // therefore named by a number of its own, given once and kept with it.
    static quint64 lastHandle = 0;
    const QVariant kept = window->property("qvWindowHandle");
    if (kept.isValid())
        return QString::number(kept.toULongLong());
    const quint64 handle = ++lastHandle;
    window->setProperty("qvWindowHandle", handle);
    return QString::number(handle);
}

cWebBrowser::cWebBrowser(QObject* parent) : QObject(parent) {
    mExternal = new BrowserExternal(this);
}

cWebBrowser::~cWebBrowser() {
    pvReleaseWBControl();
}

void cWebBrowser::INIAll(QWidget* nfrm, QWidget* container) {
    if (mCreated || !nfrm)
        return;
    mForm = nfrm;
    WebbrowserID = WindowHandle(nfrm);
    hostList().insert(WebbrowserID, this);

    QWidget* parent = container ? container : nfrm;
    InnerPages::RegisterScheme();
    auto* view = new QWebEngineView(parent);
    auto* page = new BrowserPage(view);
    view->setPage(page);
    InnerPages::InstallHandler(page->profile());
    // A failed navigation leaves the page as it is instead of showing the engine's error page.
    page->settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    page->settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    // Local documents (a file the user opens) show the files beside them (their pictures,
    // frames) but do not reach into the web. The internal pages need neither: their pictures
    // come through their own scheme, so showing one changes none of this.
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    // The channel stays in a world of its own for the page's whole life: only the scripts that
    // InnerPages installs relay it, and only into an internal document.
    mChannel = new QWebChannel(this);
    mChannel->registerObject(QStringLiteral("external"), mExternal);
    page->setWebChannel(mChannel, quint32(InnerPages::HostWorld()));
    InnerPages::InstallScripts(page);
    view->setContextMenuPolicy(mContextMenu ? Qt::DefaultContextMenu : Qt::NoContextMenu);
    view->setGeometry(parent->rect());
    view->show();
    // A page that is not on show (a background tab, a hidden pane) is hidden to itself and,
    // after a while, frozen.
    PageLifecycle::Watch(view);
    mView = view;
    mPage = page;
    mCreated = true;
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { onFocusChanged(now); });
}

QWebEngineView* cWebBrowser::WBCtrl() const {
    return mView;
}

BrowserPage* cWebBrowser::page() const {
    return mPage;
}

void cWebBrowser::set_m_bContextMenu(bool allowed) {
    mContextMenu = allowed;
    if (mView)
        mView->setContextMenuPolicy(allowed ? Qt::DefaultContextMenu : Qt::NoContextMenu);
}

void cWebBrowser::ResizeWeb(int left, int top, int right, int bottom) {
    ResizeWeb(QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)));
}

void cWebBrowser::ResizeWeb(const QRect& rect) {
    if (mView && rect.isValid())
        mView->setGeometry(rect);
}

void cWebBrowser::setFocus(bool focus) {
    mFocus = focus;
    if (focus && mView)
        mView->setFocus(Qt::OtherFocusReason);
}

void cWebBrowser::onFocusChanged(QWidget* now) {
    if (mView && now && isInside(now, mView))
        activeHostKey() = WebbrowserID;
}

bool cWebBrowser::SaveToBmp(const QString& strPath) {
    try {
        if (!mView || strPath.isEmpty())
            return false;
        const int width = mView->width();
        const int height = mView->height();
        if (width <= 0 || height <= 0)
            return false;
        // A very flat view still gives a picture one pixel high.
        const int thumbHeight =
            std::max(1, int(std::lround(double(height) * ThumbnailWidth / double(width))));
        // The engine draws the page in a Qt Quick widget of the view; asked directly, it draws
        // the page's last frame also while the page is not on show (a tab under another one).
        // A view that was never on show has drawn nothing to take.
        const PageLifecycle* lifecycle = PageLifecycle::Watch(mView);
        if (lifecycle && !lifecycle->HasBeenOnShow())
            return false;
        QImage shot;
        if (auto* drawing = mView->findChild<QQuickWidget*>(QString(), Qt::FindDirectChildrenOnly))
            shot = drawing->grabFramebuffer();
        if (shot.isNull() && mView->isVisible())
            shot = mView->grab().toImage();
        if (shot.isNull())
            return false;
        const QImage image =
            shot.scaled(ThumbnailWidth, thumbHeight, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_RGB32);
        if (image.isNull())
            return false;
        const QFileInfo target(strPath);
        if (!QDir().mkpath(target.absolutePath()))
            return false;
        return image.save(target.absoluteFilePath(), "BMP");
    } catch (const std::exception&) {
        return false;
    }
}

void cWebBrowser::setHtmlDirect(const QString& HTMLstring, const QUrl& baseUrl) {
    if (mPage)
        mPage->setHtml(HTMLstring, baseUrl);
}

bool cWebBrowser::QueryStatus(int command, QString* name) const {
    QString text;
    bool available = false;
    const bool hasPage = mPage && !mPage->url().isEmpty();
    switch (command) {
    case CmdSaveAs:
        text = QStringLiteral("另存为");
        available = hasPage;
        break;
    case CmdPrint:
        text = QStringLiteral("打印");
        available = hasPage;
        break;
    case CmdPrintPreview:
        text = QStringLiteral("打印预览");
        available = hasPage;
        break;
    case CmdPageSetup:
        text = QStringLiteral("页面设置");
        available = mView != nullptr;
        break;
    case CmdAddFavorite:
        text = QStringLiteral("添加到收藏夹");
        available = hasPage;
        break;
    default:
        break;
    }
    if (name)
        *name = text;
    return available;
}

bool cWebBrowser::Exec(int command) {
    // The commands show dialogs, which run event loops of their own; a command that arrives
    // meanwhile (a key, a page's call) waits for the next time instead of opening a second one.
    if (mExecuting || !QueryStatus(command))
        return false;
    mExecuting = true;
    QPointer<cWebBrowser> self(this);
    bool result = false;
    switch (command) {
    case CmdSaveAs:
        result = saveAs();
        break;
    case CmdPrint:
        result = printWithDialog();
        break;
    case CmdPrintPreview:
        result = printPreview();
        break;
    case CmdPageSetup:
        result = pageSetup();
        break;
    case CmdAddFavorite:
        result = AddFavorite(mPage->url().toString(), mPage->title());
        break;
    default:
        break;
    }
    if (self)
        mExecuting = false;
    return result;
}

bool cWebBrowser::AddFavorite(const QString& url, const QString& title) {
    if (addFavoriteHandler()) {
        addFavoriteHandler()(url, title);
        return true;
    }
    if (modInitial::gIsDevelopMode)
        modDevelopeFunction::WriteLog(QStringLiteral("AddFavorite: no favorites handler for ") + url);
    emit AddFavoriteRequested(url, title);
    return false;
}

void cWebBrowser::SetAddFavoriteHandler(std::function<void(const QString&, const QString&)> handler) {
    addFavoriteHandler() = std::move(handler);
}

QPrinter* cWebBrowser::printer() {
    // One printer per window, so the page setup is kept for the next print.
    if (!mPrinter)
        mPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return mPrinter.get();
}

bool cWebBrowser::printAndWait(QPrinter* target) {
    // One print at a time: the view refuses a second one while it renders, and the printer
    // belongs to the first until the view reports the end.
    if (!mView || !target || mPrinting)
        return false;
    mPrinting = true;
    QPointer<cWebBrowser> self(this);
    QPointer<QWebEngineView> view = mView;
    // The end of the print, also when it arrives after the wait below has given up.
    connect(
        view, &QWebEngineView::printFinished, this, [this] { mPrinting = false; }, Qt::SingleShotConnection);
    QEventLoop loop;
    QTimer limit;
    limit.setSingleShot(true);
    bool result = false;
    connect(view, &QWebEngineView::printFinished, &loop, [&](bool success) {
        result = success;
        loop.quit();
    });
    connect(view, &QObject::destroyed, &loop, &QEventLoop::quit);
    connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    view->print(target);
    limit.start(kPrintTimeLimitMs);
    loop.exec();
    if (self && !view)
        mPrinting = false;
    return result;
}

bool cWebBrowser::printWithDialog() {
    QPrintDialog dialog(printer(), mView ? mView->window() : nullptr);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    return printAndWait(printer());
}

bool cWebBrowser::printPreview() {
    QPrintPreviewDialog preview(printer(), mView ? mView->window() : nullptr);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* target) { printAndWait(target); });
    return preview.exec() == QDialog::Accepted;
}

bool cWebBrowser::pageSetup() {
    QPageSetupDialog dialog(printer(), mView ? mView->window() : nullptr);
    return dialog.exec() == QDialog::Accepted;
}

bool cWebBrowser::saveAs() {
    if (!mPage)
        return false;
    QString suggested = mPage->title().trimmed();
    static const QString forbidden = QStringLiteral("\\/:*?\"<>|");
    for (QChar& ch : suggested) {
        if (forbidden.contains(ch) || ch.category() == QChar::Other_Control)
            ch = QLatin1Char('_');
    }
    if (suggested.isEmpty())
        suggested = QStringLiteral("page");
    const QString webArchive = QStringLiteral("网页，单个文件 (*.mht *.mhtml)");
    const QString complete = QStringLiteral("网页，全部 (*.htm *.html)");
    const QString htmlOnly = QStringLiteral("网页，仅 HTML (*.htm *.html)");
    QString selected = webArchive;
    const QString path = QFileDialog::getSaveFileName(
        mView ? mView->window() : nullptr, QStringLiteral("另存为"),
        QDir::home().filePath(suggested + QStringLiteral(".mht")),
        webArchive + QStringLiteral(";;") + complete + QStringLiteral(";;") + htmlOnly, &selected);
    if (path.isEmpty() || !mPage)
        return false;
    QWebEngineDownloadRequest::SavePageFormat format = QWebEngineDownloadRequest::MimeHtmlSaveFormat;
    if (selected == complete)
        format = QWebEngineDownloadRequest::CompleteHtmlSaveFormat;
    else if (selected == htmlOnly)
        format = QWebEngineDownloadRequest::SingleHtmlSaveFormat;
    mPage->save(path, format);
    return true;
}

bool cWebBrowser::ShowsInnerPage() const {
    return mPage && InnerPages::IsInnerUrl(mPage->url());
}

void cWebBrowser::pvReleaseWBControl() {
    if (mCreated) {
        mCreated = false;
        if (mPage) {
            mPage->NavigationHandler = nullptr;
            mPage->NewWindowHandler = nullptr;
        }
        if (mView) {
            // Nothing of the window hears from the engine any more.
            if (mForm) {
                disconnect(mView, nullptr, mForm, nullptr);
                if (mPage)
                    disconnect(mPage, nullptr, mForm, nullptr);
            }
            mView->stop();
            delete mView.data();
        }
        mView = nullptr;
        mPage = nullptr;
        disconnect(qApp, &QApplication::focusChanged, this, nullptr);
    }
    if (!WebbrowserID.isEmpty()) {
        auto it = hostList().find(WebbrowserID);
        if (it != hostList().end() && it.value() == this)
            hostList().erase(it);
        if (activeHostKey() == WebbrowserID)
            activeHostKey().clear();
    }
}

QMap<QString, cWebBrowser*> cWebBrowser::gBrowserHosts() {
    return hostList();
}

cWebBrowser* cWebBrowser::HostOf(const QString& key) {
    return hostList().value(key, nullptr);
}

QString cWebBrowser::ActiveHostKey() {
    return activeHostKey();
}
