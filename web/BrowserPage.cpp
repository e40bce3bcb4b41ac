#include "web/BrowserPage.h"

#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"

BrowserPage::BrowserPage(QObject* parent) : QWebEnginePage(parent) {}

bool BrowserPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (NavigationHandler)
        return NavigationHandler(url, type, isMainFrame);
    return true;
}

QWebEnginePage* BrowserPage::createWindow(WebWindowType type) {
    return NewWindowHandler ? NewWindowHandler(type) : nullptr;
}

void BrowserPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                           int lineNumber, const QString& sourceID) {
    if (modInitial::gIsDevelopMode && level == ErrorMessageLevel)
        modDevelopeFunction::WriteLog(
            QStringLiteral("Script error in %1, line %2: %3").arg(sourceID).arg(lineNumber).arg(message));
}
