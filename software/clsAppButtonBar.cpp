#include "software/clsAppButtonBar.h"

#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/clsUserData.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"
#include "links/clsLinks.h"
#include "platform/FileIcons.h"
#include "software/clsLocalSoftware.h"

#include <QEvent>
#include <QHash>
#include <QToolButton>

namespace {

constexpr int kMySoftwareIcon = 1104;
constexpr int kDefaultLinkIcon = 100;

struct CachedIcon {
    int number = -1;
    qint64 key = 0;
};

} // namespace

clsAppButtonBar::clsAppButtonBar(clsLocalSoftware* software, CommandBar* toolbar)
    : QObject(toolbar), mSoftware(software), mToolbar(toolbar) {
    if (CommandBars* bars = toolbar->Bars())
        connect(bars, &CommandBars::InitCommandsPopup, this, &clsAppButtonBar::OnInitCommandsPopup);
}

void clsAppButtonBar::describe(CommandBarControl* control) {
    // The command bar makes the button reachable and names it; the tip tells what it holds.
    if (QToolButton* button = control->toolButton())
        button->setAccessibleDescription(control->TooltipText());
}

void clsAppButtonBar::Build(const XmlNode& layout) {
    mMySoftware = mToolbar->Add(CommandBarControl::ButtonPopup, Cmd::MySoftware, QStringLiteral("我的软件"));
    mMySoftware->setIconId(kMySoftwareIcon);
    mMySoftware->setStyle(CommandBarControl::StyleIconAndCaption);
    describe(mMySoftware);
    if (layout.isNull())
        return;
    for (const XmlNode& entry : layout.childElements()) {
        CommandBarControl* button = mToolbar->Add(CommandBarControl::ButtonPopup, Cmd::AppButton,
                                                  entry.getAttribute(QStringLiteral("caption")));
        bool numbered = false;
        const int icon = entry.getAttribute(QStringLiteral("iconno")).trimmed().toInt(&numbered);
        if (numbered)
            button->setIconId(icon);
        button->setTooltipText(entry.getAttribute(QStringLiteral("tip")));
        button->setStyle(CommandBarControl::StyleIconAndCaption);
        button->setParameter(entry.xml());
        describe(button);
    }
}

void clsAppButtonBar::OnInitCommandsPopup(CommandBar* popup) {
    CommandBarControl* owner = popup ? popup->ParentControl() : nullptr;
    if (!owner || owner->Parent() != mToolbar)
        return;
    if (owner->Id() == Cmd::AppButton)
        FillApplicationDropDown(popup);
    else if (owner->Id() == Cmd::MySoftware)
        FillMySoftwareDropDown(popup);
}

int clsAppButtonBar::fileIconNumber(const QString& path) const {
    IconStore* store = mToolbar->Bars() ? mToolbar->Bars()->Icons() : nullptr;
    if (!store)
        store = modInitial::gIconStore;
    if (!store)
        return -1;
    // One store number per file, so opening a drop-down again does not grow the store. The
    // image's key tells a number that another store gave to another image.
    static QHash<QString, CachedIcon> cache;
    const QString key = QString::number(quintptr(store)) + QLatin1Char('|') + path;
    const CachedIcon cached = cache.value(key);
    if (cached.number >= 0 && store->contains(cached.number) &&
        store->icon(cached.number).cacheKey() == cached.key)
        return cached.number;
    const QIcon icon = FileIcons::OfPath(path);
    const int number = store->AddIcon(icon);
    cache.insert(key, {number, store->icon(number).cacheKey()});
    return number;
}

void clsAppButtonBar::FillApplicationDropDown(CommandBar* popup) {
    popup->DeleteAll();
    if (!mSoftware)
        return;
    mSoftware->EnsureScanned();
    clsUserData* userData = mSoftware->UserData();
    XmlDocument layout;
    if (!layout.loadXML(popup->ParentControl()->Parameter()))
        return;

    XmlNode found;
    if (userData && !userData->XMLNode.isNull())
        found = userData->LocalSoftsXMLNode();
    bool pendingGroup = false;
    for (const XmlNode& entry : layout.documentElement().childElements()) {
        const QString kind = entry.nodeName();
        if (kind == QLatin1String("txtbtn")) {
            CommandBarControl* label =
                popup->Add(CommandBarControl::Label, 0, entry.getAttribute(QStringLiteral("caption")));
            label->setBeginGroup(pendingGroup);
            pendingGroup = false;
        } else if (kind == QLatin1String("ls")) {
            if (found.isNull())
                continue;
            const XmlNode soft = found.selectSingleNode(
                QStringLiteral("localsoft[@lsid=") + XPathLiteral(entry.getAttribute(QStringLiteral("id"))) +
                QLatin1Char(']'));
            if (soft.isNull())
                continue;
            const QString file = soft.getAttribute(QStringLiteral("file"));
            CommandBarControl* program = popup->Add(CommandBarControl::Button, Cmd::OpenProgram,
                                                    soft.getAttribute(QStringLiteral("caption")));
            program->setParameter(file);
            program->setTooltipText(soft.getAttribute(QStringLiteral("tip")));
            program->setIconId(fileIconNumber(file));
            program->setBeginGroup(pendingGroup);
            pendingGroup = false;
        } else if (kind == QLatin1String("sp")) {
            pendingGroup = true;
        } else if (kind == QLatin1String("weblink")) {
            const QString id = entry.getAttribute(QStringLiteral("id"));
            clsLinks* links = mSoftware->Links();
            try {
                if (!links)
                    continue;
                const clsLink link = links->getLinkById(id);
                CommandBarControl* web = popup->Add(CommandBarControl::Button, Cmd::OpenLink, link.Caption);
                web->setParameter(id);
                bool numbered = false;
                const int icon = link.IconNum.trimmed().toInt(&numbered);
                web->setIconId(numbered ? icon : kDefaultLinkIcon);
            } catch (const QvError& e) {
                // A layout that names a link the catalogue lacks loses that entry, not the list.
                if (modInitial::gIsDevelopMode) {
                    modDevelopeFunction::WriteLog(e.description());
                }
            }
        }
    }
}

void clsAppButtonBar::FillMySoftwareDropDown(CommandBar* popup) {
    popup->DeleteAll();
    clsUserData* userData = mSoftware ? mSoftware->UserData() : nullptr;
    if (userData && !userData->XMLNode.isNull()) {
        for (const XmlNode& app : userData->LocalCustomsAppXMLNode().childElements()) {
            const QString path = app.getAttribute(QStringLiteral("apppath"));
            CommandBarControl* entry = popup->Add(CommandBarControl::Button, Cmd::OpenProgram,
                                                  app.getAttribute(QStringLiteral("appname")));
            entry->setParameter(path);
            entry->setIconId(fileIconNumber(path));
        }
    }
    popup->Add(CommandBarControl::Button, Cmd::AddSoftware, QStringLiteral("添加软件"))->setBeginGroup(true);
}
