#include "web/clsRecentClosedPages.h"

#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/clsData.h"
#include "core/clsUserData.h"
#include "core/modDevelopeFunction.h"
#include "core/modFolders.h"
#include "core/modInitial.h"
#include "core/modMessagebox.h"
#include "core/modSafeFile.h"
#include "web/clsActStatus.h"

#include <QFile>
#include <QStringList>

#include <exception>
#include <vector>

namespace {

const QString kRecord = QStringLiteral("rcp");
// The seven values in the order the page's script receives them.
const QStringList kFields = {QStringLiteral("vtime"),         QStringLiteral("url"),
                             QStringLiteral("caption"),       QStringLiteral("tips"),
                             QStringLiteral("ThumbnailName"), QStringLiteral("frmhwnd"),
                             QStringLiteral("rindex")};

const QString kThumbnail = QStringLiteral("ThumbnailName");

// A record may only ever name a thumbnail directly inside the cache folder: the name comes
// from the user data file, and the file it names gets deleted.
bool isCacheFile(const QString& path) {
    return modSafeFile::IsPlainFileInFolder(path, modFolders::CacheFolder());
}

void logRefusedThumbnail(const QString& path) {
    if (!modInitial::gIsDevelopMode)
        return;
    modDevelopeFunction::WriteLog(
        QStringLiteral("最近关闭的页面记录的缩略图不在 Cache 文件夹中，已从记录中去掉: ") + path);
}

// A thumbnail belongs to its record only; one that is already gone (or cannot be deleted) must
// not keep the record in the list. Removing the name deletes a link itself, never its target.
void deleteThumbnail(const QString& path) {
    if (path.isEmpty())
        return;
    if (!isCacheFile(path)) {
        logRefusedThumbnail(path);
        return;
    }
    QFile::remove(path);
}

// "\u003C" for "<".
QString unicodeEscape(QChar c) {
    return QStringLiteral("\\u") + QStringLiteral("%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

clsRecentClosedPages::clsRecentClosedPages(QObject* parent) : QObject(parent) {}

void clsRecentClosedPages::Load(XmlNode inNode) {
    XMLNode = inNode;
    if (XMLNode.isNull())
        return;
    for (XmlNode record : records()) {
        const QString thumbnail = record.getAttribute(kThumbnail);
        if (!thumbnail.isEmpty() && !isCacheFile(thumbnail)) {
            record.setAttribute(kThumbnail, QString());
            logRefusedThumbnail(thumbnail);
        }
    }
}

XmlNodeList clsRecentClosedPages::records() const {
    return XMLNode.selectNodes(kRecord);
}

XmlNode clsRecentClosedPages::findByKey(const QString& key) const {
    return XMLNode.selectSingleNode(kRecord + QStringLiteral("[@rindex=") + XPathLiteral(key) +
                                    QLatin1Char(']'));
}

void clsRecentClosedPages::saveUserData() {
    // The store the list lives in: the session's owner, else the program's user data.
    clsUserData* store = nullptr;
    for (QObject* o = parent(); o && !store; o = o->parent())
        store = qobject_cast<clsUserData*>(o);
    if (!store && modInitial::gData)
        store = modInitial::gData->UserData();
    // A store kept in memory only (its file could not be used) has nowhere to write to.
    if (!store || store->FilePath().isEmpty())
        return;
    store->Save();
}

bool clsRecentClosedPages::removeRecord(const XmlNode& record, const QString& keepFile, bool notify) {
    try {
        const XmlNode next = record.nextSibling();
        XMLNode.removeChild(record);
        try {
            saveUserData();
        } catch (const std::exception&) {
            // The file still lists the record; so does the list, and its thumbnail stays.
            XMLNode.insertBefore(record, next);
            return false;
        }
        const QString thumbnail = record.getAttribute(QStringLiteral("ThumbnailName"));
        if (thumbnail != keepFile)
            deleteThumbnail(thumbnail);
    } catch (const std::exception&) {
        return false;
    }
    if (notify)
        emit Changed();
    return true;
}

void clsRecentClosedPages::Add(const QDateTime& vDatetime, const QString& vURL, const QString& vCaption,
                               const QString& vTips, const QString& vThumbnailName, const QString& vfrmHwnd,
                               const QString& rIndex) {
    Q_UNUSED(vfrmHwnd);
    const QString url = clsActStatus::XmlSafe(vURL);
    if (XMLNode.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the recently closed pages are not loaded"));

    // One address is listed once, at its newest closing. Changed is raised once, at the end.
    const XmlNode earlier =
        XMLNode.selectSingleNode(kRecord + QStringLiteral("[@url=") + XPathLiteral(url) + QLatin1Char(']'));
    if (!earlier.isNull())
        removeRecord(earlier, vThumbnailName, false);

    XmlNode record = XMLNode.ownerDocument().createElement(kRecord);
    record.setAttribute(QStringLiteral("vtime"), vDatetime.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    record.setAttribute(QStringLiteral("url"), url);
    record.setAttribute(QStringLiteral("caption"), clsActStatus::XmlSafe(vCaption));
    record.setAttribute(QStringLiteral("tips"), clsActStatus::XmlSafe(vTips));
    record.setAttribute(kThumbnail, clsActStatus::XmlSafe(vThumbnailName));
    record.setAttribute(QStringLiteral("frmhwnd"), QString());
    record.setAttribute(QStringLiteral("rindex"), clsActStatus::XmlSafe(rIndex));
    // Before the newest record; into an empty list the null reference appends.
    XMLNode.insertBefore(record, XMLNode.selectSingleNode(kRecord));

    for (XmlNodeList list = records(); list.length() > MaxRecords; list = records()) {
        if (!removeRecord(list.item(list.length() - 1), vThumbnailName, false))
            break;
    }
    emit Changed();
}

bool clsRecentClosedPages::Remove(const QString& vAsctime, bool isSilent) {
    if (!isSilent && modMessagebox::ConfirmRemovePage() != Answer::Yes)
        return false;
    XmlNode record;
    try {
        record = findByKey(vAsctime);
    } catch (const std::exception&) {
        return false;
    }
    if (record.isNull())
        return false;
    return removeRecord(record, QString(), true);
}

bool clsRecentClosedPages::RemoveAll() {
    if (modMessagebox::ConfirmRemoveAllPages() != Answer::Yes)
        return false;
    struct Removed {
        XmlNode record;
        XmlNode next;
    };
    std::vector<Removed> removed;
    try {
        for (const XmlNode& record : records()) {
            removed.push_back({record, record.nextSibling()});
            XMLNode.removeChild(record);
        }
        // Written at once, so that a cleared list cannot come back after a crash.
        saveUserData();
    } catch (const std::exception&) {
        try {
            // Back in place, from the last: each one's follower is then already there again.
            for (auto it = removed.rbegin(); it != removed.rend(); ++it)
                XMLNode.insertBefore(it->record, it->next);
        } catch (const std::exception&) {
        }
        return false;
    }
    for (const Removed& r : removed)
        deleteThumbnail(r.record.getAttribute(QStringLiteral("ThumbnailName")));
    emit Changed();
    return true;
}

QString clsRecentClosedPages::ScriptLiteral(const QString& value) {
    QString out;
    out.reserve(value.size() + 2);
    out += QLatin1Char('"');
    for (QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\'':
            out += QLatin1String("\\'");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        // "<" and ">" as escapes, so that no "</script>" or "<!--" appears in the text.
        case '<':
        case '>':
        // Line separators end a line in older script engines.
        case 0x2028:
        case 0x2029:
            out += unicodeEscape(c);
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                out += unicodeEscape(c);
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString clsRecentClosedPages::GetWebData() {
    QString data = QStringLiteral("var ILData=new Array(");
    try {
        QStringList rows;
        for (const XmlNode& record : records()) {
            QStringList values;
            for (const QString& field : kFields)
                values << ScriptLiteral(record.getAttribute(field));
            rows << QStringLiteral("new Array(") + values.join(QLatin1Char(',')) + QLatin1Char(')');
        }
        data += rows.join(QLatin1Char(','));
    } catch (const std::exception&) {
        // A list that cannot be read shows as an empty one.
        data = QStringLiteral("var ILData=new Array(");
    }
    return data + QStringLiteral(");return ILData;");
}
