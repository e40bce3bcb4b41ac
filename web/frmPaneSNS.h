#pragma once
#include "web/frmPaneWebPage.h"

// The page of one social site in the community panel: a web pane that records every completed
// address as the site's last address in the session state, opens pop-ups in browser tabs, and
// has a close button (459) that asks the panel to uncheck the site.
class frmPaneSNS : public frmPaneWebPage {
    Q_OBJECT
public:
    explicit frmPaneSNS(const QString& linkId, QWidget* parent = nullptr);

    // The catalogue id of the site.
    QString LinkId;

signals:
    // The close button: the panel unchecks the site, which closes this pane.
    void uncheckRequested(const QString& linkId);

protected:
    QWebEnginePage* newWindowPage() override;
    void documentComplete(const QUrl& url) override;
    void executeOther(CommandBarControl* control) override;
    QString moduleText() const override;
};
