#pragma once
#include "ScopedEnv.h"
#include "TestSupport.h"
#include "controls/IconStore.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDataFile.h"
#include "core/modInitial.h"
#include "platform/RegistryView.h"
#include "web/cltWebPage.h"
#include "web/frmBrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <memory>

// A program folder of its own: the given common data sections, a user data file (initial unless
// given), the icon library of the build, favorites in a data directory of the test and no
// registry file of the user.
class LinksFixture {
public:
    explicit LinksFixture(const QString& commonSections,
                          const QString& userData = clsUserData::InitialDocument())
        : xdg("XDG_DATA_HOME", dir.filePath("xdg").toUtf8()) {
        modInitial::SetAppPath(dir.path());
        QDir(dir.path()).mkpath("Data");
        modDataFile::WriteEncryptedFile(dir.filePath("Data/common.dat"),
                                        "<data>" + commonSections + "</data>");
        modDataFile::WriteEncryptedFile(dir.filePath("Data/User.dat"), userData);
        RegistryView::instance().setRegistryFile(HKEY_CURRENT_USER, dir.filePath("none.reg"));
        icons.LoadLibrary(qvtest::buildDir() + "/Data/icon.dat");
        modInitial::gIconStore = &icons;
        modInitial::gData = new clsData;
        cltWebPage::ReleaseGlobal();
    }
    ~LinksFixture() {
        for (frmBrowser* window : frmBrowser::AllWindows())
            delete window;
        cltWebPage::ReleaseGlobal();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete modInitial::gData;
        modInitial::gData = nullptr;
        modInitial::gIconStore = nullptr;
        modInitial::gIsDevelopMode = false;
        modInitial::gDevLog.reset();
        RegistryView::instance().setRegistryFile(HKEY_CURRENT_USER, QString());
    }
    QString favoritesFolder() const { return dir.filePath("xdg/Quorvel/Favorites"); }
    // Turns the developer log on, kept in memory.
    void developMode() {
        modInitial::gIsDevelopMode = true;
        modInitial::gDevLog = std::make_unique<QStringList>();
    }

    QTemporaryDir dir;
    ScopedEnv xdg;
    IconStore icons;
};
