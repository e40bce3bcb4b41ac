#pragma once
#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

class DockingPane;
class DockingPaneManager;
class QListWidget;
class QListWidgetItem;
class QMainWindow;
class frmPaneSNS;

// The community panel "社区": the social sites of the catalogue (category "SNS") as a checked
// list, and one docked page per checked site. A site is opened at the last address the user
// reached there (the session state's record), or at its catalogue address; unchecking it (or
// closing its page) closes the page and forgets the record. The sites checked at load are those
// with a record.
class frmSNS : public QWidget {
    Q_OBJECT
public:
    explicit frmSNS(QWidget* parent = nullptr);
    ~frmSNS() override;

    QListWidget* lvw_SNSList() const { return mList; }
    DockingPaneManager* panes() const { return mPanes; }
    // The open page of a site, or null.
    frmPaneSNS* SitePane(const QString& linkId) const;
    DockingPane* SiteDockingPane(const QString& linkId) const;
    QListWidgetItem* SiteItem(const QString& linkId) const;

    // Unchecks the site, which closes its page and removes its record.
    void UnCheckLvwSNSList(const QString& linkId);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void fitListWidth();
    void fillList();
    void onItemChanged(QListWidgetItem* item);
    void openSite(const QString& linkId);
    void closeSite(const QString& linkId);
    void onAttachPane(DockingPane* pane);
    void onPaneClosing(DockingPane* pane, bool* cancel);
    QString siteOfPane(int paneId) const;
    bool hasRecord(const QString& linkId) const;

    QMainWindow* mInner = nullptr;
    DockingPaneManager* mPanes = nullptr;
    QListWidget* mList = nullptr;
    // The open pages by their pane id, and the pane id of each open site.
    QHash<int, QPointer<frmPaneSNS>> mSitePages;
    QHash<QString, int> mPaneOfSite;
    int mNextPaneId;
    bool mListChanging = false;
    bool mClosingSite = false;
};
