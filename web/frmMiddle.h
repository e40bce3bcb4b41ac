#pragma once
#include "core/XmlDocument.h"

#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

class QTimer;
class QWebEnginePage;
class QWebEngineLoadingInfo;
class MiddleWebPage;

// The middle page: a hidden page that loads a site's form page (or a page written locally from
// the descriptor), fills the descriptor's parameters into the form, makes the form submit into
// a new window and hands that window to the user as an ordinary browser window. It reports its
// end with MiddleOpenSuccess (the answer opens in a browser window) or MiddleOpenError (no form
// could be submitted; an empty browser window was opened instead). Both are delivered queued,
// so the receiver may delete the middle page.
class frmMiddle : public QObject {
    Q_OBJECT
public:
    explicit frmMiddle(QObject* parent = nullptr);
    ~frmMiddle() override;

    // The descriptor's `middle` element to work on.
    void SetMiddleNode(const XmlNode& node) { mNode = node; }
    XmlNode MiddleNode() const { return mNode; }
    // The descriptor's `notshowadd`; carried only.
    void SetNotShowAddress(bool value) { mNotShowAddress = value; }
    bool NotShowAddress() const { return mNotShowAddress; }

    // Reads the element and loads its page. Throws QvError for a missing attribute, a `par`
    // without name or value, or (kind "2") a local name that is not a plain file name or names a
    // file that exists already (other than the one this page wrote); nothing is written or loaded
    // then.
    void goURL();

    QWebEnginePage* page() const;
    // The file written for kind "2", empty otherwise.
    QString LocalPath() const { return mLocalPath; }

signals:
    void MiddleOpenError();
    void MiddleOpenSuccess();

private:
    friend class MiddleWebPage;
    QWebEnginePage* onNewWindow();
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void onDocumentComplete();
    void onFilled(const QVariant& result, int generation);
    void endWithSuccess();
    void endWithError();
    void raiseEnd(bool success);
    // Forgets the descriptor and its parameter values.
    void dropValues();
    void removeLocalFile();

    MiddleWebPage* mPage;
    // After the clicks, how long a submission may take to ask for its window.
    QTimer* mSubmitWait;
    XmlNode mNode;
    bool mNotShowAddress = false;
    QString mFormName;
    QString mSubmitName;
    QString mLocalPath;
    QList<QPair<QString, QString>> mPars;
    // Where the form may be filled: the page written locally (its address), or else the origins
    // of the descriptor's address.
    QString mExpectedHref;
    QStringList mExpectedOrigins;
    // A form was filled; the values are dropped and no later document is filled.
    bool mFilled = false;
    bool mNewWindow = false;
    // Set once an end event is on its way; nothing more happens until the next goURL.
    bool mEnded = false;
    // Counts goURL calls; answers that belong to an earlier one are dropped.
    int mGeneration = 0;
};
