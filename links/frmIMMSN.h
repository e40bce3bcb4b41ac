#pragma once
#include <QWidget>

class QWebEngineView;

// The small window "MSN留言": the maker's message page of the global settings.
class frmIMMSN : public QWidget {
    Q_OBJECT
public:
    explicit frmIMMSN(QWidget* parent = nullptr);
    QWebEngineView* WebBrowser() const { return mView; }

private:
    QWebEngineView* mView = nullptr;
};
