#pragma once
#include <QWebEnginePage>

#include <functional>

// The page of a browser window. The window decides about navigations and new windows; the page
// only passes the engine's questions on, and keeps script console output away from the user.
class BrowserPage : public QWebEnginePage {
    Q_OBJECT
public:
    explicit BrowserPage(QObject* parent = nullptr);

    // Asked before the top-level document and every frame navigates; false cancels.
    std::function<bool(const QUrl& url, NavigationType type, bool isMainFrame)> NavigationHandler;
    // Asked for the page of a new window; nullptr refuses the window.
    std::function<QWebEnginePage*(WebWindowType type)> NewWindowHandler;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    // Script errors never reach the user; in developer mode they go to the developer log.
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceID) override;
};
