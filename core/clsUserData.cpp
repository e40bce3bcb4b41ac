#include "core/clsUserData.h"

#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/modDataDocument.h"
#include "core/modDataFile.h"
#include "core/modDevelopeFunction.h"
#include "core/modFolders.h"
#include "core/modInitial.h"
#include "core/modSafeFile.h"
#include "platform/FileIcons.h"
#include "platform/PlainMessage.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTimer>

namespace {
std::function<void(clsUserData*, const QString&)>& userIDRequester() {
    static std::function<void(clsUserData*, const QString&)> requester;
    return requester;
}
std::function<QString()>& dockingLayoutProvider() {
    static std::function<QString()> provider;
    return provider;
}
bool isWholeNumber(const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    for (QChar c : t) {
        if (!c.isDigit() || c.unicode() > 127)
            return false;
    }
    return true;
}
} // namespace

void clsUserData::SetUserIDRequester(std::function<void(clsUserData*, const QString&)> requester) {
    userIDRequester() = std::move(requester);
}

void clsUserData::SetDockingLayoutProvider(std::function<QString()> provider) {
    dockingLayoutProvider() = std::move(provider);
}

clsUserData::clsUserData(clsData* parent) : clsUserData(modFolders::UserDataFile(), parent) {}

clsUserData::clsUserData(const QString& path, clsData* parent) : Parent(parent), mPath(path) {
    mSaveTimer = new QTimer(this);
    mSaveTimer->setSingleShot(true);
    // Precise: the delay is a promise about how much a sudden end can lose.
    mSaveTimer->setTimerType(Qt::PreciseTimer);
    mSaveTimer->setInterval(SaveDelayMs);
    connect(mSaveTimer, &QTimer::timeout, this, &clsUserData::saveOnTimer);
    if (mPath.isEmpty()) {
        mLoadError = QStringLiteral("no user data file");
        return;
    }
    XMLNode = modDataDocument::LoadDataFile(mPath, mDocument, mLoadError);
    watchDocument();
}

clsUserData::~clsUserData() {
    // Section wrappers may keep nodes, and with them the tree, beyond this store.
    mDocument.setChangeHandler({});
}

bool clsUserData::LoadText(const QString& text) {
    mLoadError.clear();
    mDocument.setChangeHandler({});
    if (!mDocument.loadXML(text) || (XMLNode = mDocument.selectSingleNode("data")).isNull()) {
        XMLNode = XmlNode();
        mLoadError = QStringLiteral("not a user data document");
        return false;
    }
    watchDocument();
    return true;
}

void clsUserData::watchDocument() {
    mDocument.setChangeHandler([this] {
        if (!mSaving)
            MarkDirty();
    });
}

void clsUserData::MarkDirty() {
    if (mPath.isEmpty() || XMLNode.isNull())
        return;
    mDirty = true;
    // The first unsaved change starts the clock; later ones ride along, so that a stream of
    // changes cannot put the save off for ever.
    if (!mSaveTimer->isActive())
        mSaveTimer->start();
}

void clsUserData::saveOnTimer() {
    if (!mDirty)
        return;
    try {
        Save();
    } catch (const QvError& e) {
        emit saveFailed(e.description());
        // One warning per run of failures: the timer would otherwise repeat it with every change.
        if (!mFailureShown) {
            mFailureShown = true;
            ShowPlainMessage(SaveFailureMessage(mPath, e.description()), QStringLiteral("Quorvel"));
        }
    }
}

QString clsUserData::SaveFailureMessage(const QString& path, const QString& reason) {
    return QStringLiteral("用户数据无法保存到 %1（%2）。原来的文件保持不变，最近的更改还没有写入磁盘。")
        .arg(QDir::toNativeSeparators(path), reason);
}

XmlNode clsUserData::GetOrCreateChild(XmlNode parent, const QString& name) {
    XmlNode child = parent.selectSingleNode(name);
    if (child.isNull()) {
        XmlDocument doc = parent.ownerDocument();
        child = parent.appendChild(doc.createElement(name));
    }
    return child;
}

XmlNode clsUserData::globalInfo() {
    return GetOrCreateChild(XMLNode, "globalinfo");
}

QString clsUserData::userID() {
    const QString id = globalInfo().getAttribute("userid");
    if (id.isEmpty()) {
        if (modInitial::gIsDevelopMode)
            modDevelopeFunction::WriteLog(QStringLiteral("读取用户ID开始...."));
        // A new request replaces a pending one; the earlier reply is then ignored.
        mRequestPending = true;
        if (userIDRequester())
            userIDRequester()(this, modInitial::gUrlGetUserID);
    }
    return id;
}

void clsUserData::setUserID(const QString& id) {
    globalInfo().setAttribute("userid", id);
}

void clsUserData::OnUserIDReply(const QString& ReturnValue) {
    if (!mRequestPending)
        return;
    mRequestPending = false;
    if (!isWholeNumber(ReturnValue))
        return;
    const QString id = ReturnValue.trimmed();
    setUserID(id);
    if (modInitial::gIsDevelopMode)
        modDevelopeFunction::WriteLog(QStringLiteral("取得用户ID成功...."));
    emit userIDReceived(id);
}

XmlNode clsUserData::LocalSoftsXMLNode() {
    return GetOrCreateChild(XMLNode, "localsofts");
}

XmlNode clsUserData::LocalCustomsAppXMLNode() {
    return GetOrCreateChild(XMLNode, "customsapp");
}

void clsUserData::LocalSoftUpdateByXMLString(const QString& LocalSoftXMLString) {
    XmlDocument incoming;
    incoming.loadXML(LocalSoftXMLString);
    XmlNode found = incoming.selectSingleNode("localsofts");
    if (found.isNull())
        found = incoming.selectSingleNode("//localsofts");
    if (found.isNull())
        throw QvError(QvErrors::ObjectMissing,
                      QStringLiteral("the scan result holds no <localsofts> element"));
    XmlNode current = LocalSoftsXMLNode();
    XMLNode.replaceChild(found, current);
}

void clsUserData::LocalSoftLoadToCommandBar(CommandBar* Toolbar) {
    // One store number per file: a rescan shows the same icons without growing the store.
    static QHash<QString, int> iconNumbers;
    for (const XmlNode& soft : LocalSoftsXMLNode().childElements()) {
        CommandBarControl* button = Toolbar->Add(CommandBarControl::Button, Cmd::OpenProgram,
                                                 soft.getAttribute(QStringLiteral("caption")));
        const QString file = soft.getAttribute(QStringLiteral("file"));
        button->setParameter(file);
        button->setTooltipText(soft.getAttribute(QStringLiteral("tip")));
        if (modInitial::gIconStore) {
            const QString key = QString::number(quintptr(modInitial::gIconStore)) + '|' + file;
            int number = iconNumbers.value(key, -1);
            if (number < 0 || !modInitial::gIconStore->contains(number)) {
                number = modInitial::gIconStore->AddIcon(FileIcons::OfPath(file));
                iconNumbers.insert(key, number);
            }
            button->setIconId(number);
        }
    }
}

void clsUserData::storeDockingLayout() {
    if (!dockingLayoutProvider())
        return;
    const QString layoutText = dockingLayoutProvider()();
    if (layoutText.isEmpty())
        return;
    XmlDocument layout;
    if (!layout.loadXML(layoutText))
        return;
    XmlNode section = GetOrCreateChild(XMLNode, "dockinglayout");
    XmlNode first = layout.asNode().firstChild();
    if (section.hasChildNodes())
        section.replaceChild(first, section.firstChild());
    else
        section.appendChild(first);
}

void clsUserData::Save() {
    write(true);
}

void clsUserData::SaveWithoutLayout() {
    write(false);
}

void clsUserData::write(bool withLayout) {
    if (XMLNode.isNull())
        throw QvError(QvErrors::ObjectMissing,
                      QStringLiteral("the user data is not loaded; nothing is saved"));
    if (mPath.isEmpty())
        throw QvError(QvErrors::PathAccess, QStringLiteral("the user data has no file to be saved to"));
    {
        mSaving = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{mSaving};
        if (withLayout)
            storeDockingLayout();
    }
    const QString text = mDocument.xml();
    modDataFile::WriteEncryptedFile(mPath, text);
    mDirty = false;
    mFailureShown = false;
    mSaveTimer->stop();
    emit saved();
}

QStringList clsUserData::RecoverInterruptedSaves(const QString& path) {
    const QFileInfo file(path);
    const QDateTime savedAt = file.exists() ? file.lastModified() : QDateTime();
    QStringList keptAside;
    const QFileInfoList entries =
        file.dir().entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QFileInfo& entry : entries) {
        if (!modSafeFile::IsTemporaryNameOf(entry.fileName(), file.fileName()))
            continue;
        bool keep = false;
        if (entry.isFile() && !entry.isSymLink() && (!savedAt.isValid() || entry.lastModified() > savedAt)) {
            XmlDocument document;
            QString error;
            keep = !modDataDocument::LoadDataFile(entry.absoluteFilePath(), document, error).isNull();
        }
        if (!keep) {
            // A partly written file, or one older than the file it was to replace.
            QFile::remove(entry.absoluteFilePath());
            continue;
        }
        const QString stamp = entry.lastModified().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QString aside = path + QStringLiteral(".unsaved-") + stamp;
        for (int n = 2; QFileInfo::exists(aside) || QFileInfo(aside).isSymLink(); ++n)
            aside = path + QStringLiteral(".unsaved-") + stamp + QLatin1Char('-') + QString::number(n);
        if (modSafeFile::MoveAside(entry.absoluteFilePath(), aside))
            keptAside << aside;
    }
    return keptAside;
}
