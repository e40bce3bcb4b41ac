#pragma once
#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// The site-search panel of a browser window's assistant menu: searches with Google, restricted to
// the host of the page shown when the panel was made.
class frmSiteSearch : public QWidget {
    Q_OBJECT
public:
    explicit frmSiteSearch(QWidget* parent = nullptr);

    // The address whose site is searched, set once by the browser window.
    QString LocationUrl;

    QLabel* Label1;
    QLabel* Label3;
    QLabel* lbl_siteSearch;
    QLineEdit* txt_siteSearchContent;
    QPushButton* cmd_siteSearch;

signals:
    // A search is about to open (the assistant menu closes on it).
    void RequestStarting();

protected:
    // Tab stays inside the panel until its last control, also when the panel sits in a menu.
    bool focusNextPrevChild(bool next) override;

private:
    void siteSearch();
};
