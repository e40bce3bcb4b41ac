#pragma once
#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "controls/TabbedWorkspace.h"
#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "mail/clsMailInfo.h"
#include "platform/AnsiCodec.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QMdiArea>
#include <QPointer>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <gtest/gtest.h>

#include <memory>

// A program folder of its own whose common data holds the mail services a test writes, a local
// server for them, and a tabbed workspace that takes the browser windows.
class MailFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid() && server.start());
        mOldAppPath = modInitial::AppPath();
        modInitial::SetAppPath(dir.path());
        QDir(dir.path()).mkpath("Data");
        workspace = std::make_unique<TabbedWorkspace>(&area);
        modInitial::gWorkspace = workspace.get();
        area.show();
        cltWebPage::ReleaseGlobal();
        QObject::connect(cltWebPage::Global(), &cltWebPage::windowCreated,
                         [this](frmBrowser* w) { windows << QPointer<frmBrowser>(w); });
    }
    void TearDown() override {
        cltWebPage::ReleaseGlobal();
        for (const QPointer<frmBrowser>& w : windows)
            delete w.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        modInitial::gWorkspace = nullptr;
        delete modInitial::gData;
        modInitial::gData = nullptr;
        modInitial::SetAppPath(mOldAppPath);
    }

    // Writes the common data with `mailinfo` as its mail section and makes the program's hub.
    void loadCommonData(const QString& mailinfo) {
        delete modInitial::gData;
        modDataFile::WriteEncryptedFile(dir.filePath("Data/common.dat"), "<data>" + mailinfo + "</data>");
        commonBytes = qvtest::readFile(dir.filePath("Data/common.dat"));
        modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), clsUserData::InitialDocument());
        modInitial::gData = new clsData;
    }
    void loadServices(const QString& services) {
        loadCommonData("<mailinfo><mailboxinfos>" + services + "</mailboxinfos></mailinfo>");
    }
    static clsMailBoxInfos* catalogue() { return ProgramMailInfo()->MailboxInfos(); }

    QString postService(int id, const QString& path, const QString& pars) const {
        return QStringLiteral("<mailboxinfo id='%1' name='P%1' iconno='1250' openmethod='2' notshowadd='0'>"
                              "<post url='%2' targetframename='' flags='' header=''>%3</post></mailboxinfo>")
            .arg(id)
            .arg(server.url(path), pars);
    }
    static QString par(const QString& name, const QString& caption) {
        return QStringLiteral("<par name='%1' value='' prefix='' suffix='' caption='%2'/>")
            .arg(name, caption);
    }
    // A middle service whose login page is `url`, filling "user" and "pass".
    static QString middleService(int id, const QString& url) {
        return QStringLiteral("<mailboxinfo id='%1' name='M%1' iconno='1252' openmethod='3' notshowadd='0'>"
                              "<middle formname='' submitname='' url='%2' urlgotype='1'>"
                              "<par name='user' value='' caption='用户名'/>"
                              "<par name='pass' value='' caption='密码'/></middle></mailboxinfo>")
            .arg(id)
            .arg(url);
    }

    // The values of a field of a form body (GBK, percent-encoded or not), in order.
    static QStringList field(const QByteArray& body, const QString& name) {
        const auto decode = [](QByteArray text) {
            return AnsiCodec::toUnicode(QByteArray::fromPercentEncoding(text.replace('+', ' ')));
        };
        QStringList values;
        for (const QByteArray& piece : body.split('&')) {
            const qsizetype eq = piece.indexOf('=');
            if (eq >= 0 && decode(piece.left(eq)) == name)
                values << decode(piece.mid(eq + 1));
        }
        return values;
    }
    bool titleShown(frmBrowser* w, const QString& title) {
        return waitUntil([&] { return w && w->page() && w->page()->title() == title; }, 20000);
    }

    QTemporaryDir dir;
    LocalHttpServer server;
    QByteArray commonBytes;
    QMdiArea area;
    std::unique_ptr<TabbedWorkspace> workspace;
    QList<QPointer<frmBrowser>> windows;
    QString mOldAppPath;
};
