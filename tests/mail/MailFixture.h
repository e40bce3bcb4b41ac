#pragma once
#include "LocalHttpServer.h"
#include "TestSupport.h"
#include "controls/TabbedWorkspace.h"
#include "core/XmlDocument.h"
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
#include <QUrlQuery>
#include <QWebEnginePage>
#include <gtest/gtest.h>

#include <memory>

// A program folder of its own whose common data holds the mail catalogue a test writes, a local
// server for the services, and a tabbed workspace that takes the browser windows.
class MailFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(server.start());
        mOldAppPath = modInitial::AppPath();
        modInitial::SetAppPath(dir.path());
        QDir(dir.path()).mkpath("Data");
        area = std::make_unique<QMdiArea>();
        workspace = std::make_unique<TabbedWorkspace>(area.get());
        modInitial::gWorkspace = workspace.get();
        area->show();
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
        workspace.reset();
        area.reset();
        delete modInitial::gData;
        modInitial::gData = nullptr;
        modInitial::SetAppPath(mOldAppPath);
    }

    // Writes the common data with `mailinfo` as its mail section (none when empty) and makes the
    // program's hub over it.
    void loadCommonData(const QString& mailinfo) {
        commonXml = "<data>" + mailinfo + "</data>";
        modDataFile::WriteEncryptedFile(dir.filePath("Data/common.dat"), commonXml);
        commonBytes = qvtest::readFile(dir.filePath("Data/common.dat"));
        modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), clsUserData::InitialDocument());
        modInitial::gData = new clsData;
        ASSERT_FALSE(modInitial::gData->CommonData()->XMLNode.isNull());
    }
    void loadServices(const QString& services) {
        loadCommonData("<mailinfo><mailboxinfos>" + services + "</mailboxinfos></mailinfo>");
    }
    static clsMailBoxInfos* catalogue() { return ProgramMailInfo()->MailboxInfos(); }

    // A post service with the given parameters inside its `post` element.
    QString postService(int id, const QString& name, const QString& path, const QString& pars) const {
        return QStringLiteral(
                   "<mailboxinfo id='%1' name='%2' iconno='1250' openmethod='2' notshowadd='0'>"
                   "<post url='%3' targetframename='' flags='' "
                   "header='Content-Type: application/x-www-form-urlencoded'>%4</post></mailboxinfo>")
            .arg(id)
            .arg(name, server.url(path), pars);
    }
    static QString postPar(const QString& name, const QString& caption = QString()) {
        return QStringLiteral("<par name='%1' value='' prefix='' suffix=''%2/>")
            .arg(name, caption.isEmpty() ? QString() : " caption='" + caption + "'");
    }
    // A middle service whose login page is `path` of the local server, filling "user" and "pass".
    QString middleService(int id, const QString& name, const QString& url) const {
        return QStringLiteral("<mailboxinfo id='%1' name='%2' iconno='1252' openmethod='3' notshowadd='0'>"
                              "<middle formname='' submitname='' url='%3' urlgotype='1'>"
                              "<par name='user' value='' caption='用户名'/><par name='pass' value='' "
                              "caption='密码'/></middle></mailboxinfo>")
            .arg(id)
            .arg(name, url);
    }

    // The fields of a form body the opener sent (GBK bytes, percent-encoded or not).
    static QList<QPair<QString, QString>> bodyFields(const QByteArray& body) {
        QList<QPair<QString, QString>> fields;
        for (const QByteArray& piece : body.split('&')) {
            const qsizetype eq = piece.indexOf('=');
            const QByteArray name = eq < 0 ? piece : piece.left(eq);
            const QByteArray value = eq < 0 ? QByteArray() : piece.mid(eq + 1);
            fields << qMakePair(
                AnsiCodec::toUnicode(QByteArray::fromPercentEncoding(QByteArray(name).replace('+', ' '))),
                AnsiCodec::toUnicode(QByteArray::fromPercentEncoding(QByteArray(value).replace('+', ' '))));
        }
        return fields;
    }
    static QStringList valuesOf(const QList<QPair<QString, QString>>& fields, const QString& name) {
        QStringList values;
        for (const auto& [n, v] : fields) {
            if (n == name)
                values << v;
        }
        return values;
    }
    bool titleShown(frmBrowser* w, const QString& title) {
        return waitUntil([&] { return w && w->page() && w->page()->title() == title; }, 20000);
    }

    QTemporaryDir dir;
    LocalHttpServer server;
    QString commonXml;
    QByteArray commonBytes;
    std::unique_ptr<QMdiArea> area;
    std::unique_ptr<TabbedWorkspace> workspace;
    QList<QPointer<frmBrowser>> windows;
    QString mOldAppPath;
};
