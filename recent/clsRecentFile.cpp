#include "recent/clsRecentFile.h"

#include "controls/CommandBars.h"
#include "controls/IconStore.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/modInitial.h"
#include "core/modMessagebox.h"
#include "platform/FileIcons.h"
#include "platform/RecentSource.h"
#include "recent/clsRecentFileMenu.h"

#include <QFileIconProvider>
#include <QFileInfo>
#include <limits>

namespace {

// Newest first by the fixed-width time text, every attribute of a record copied in its order.
const char kSortStylesheet[] = R"(<?xml version="1.0"?>
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="xml" omit-xml-declaration="no"/>
  <xsl:template match="/">
    <recentfile>
      <xsl:for-each select="//rf">
        <xsl:sort select="@lastwritetime" order="descending"/>
        <rf>
          <xsl:for-each select="@*">
            <xsl:attribute name="{name()}"><xsl:value-of select="."/></xsl:attribute>
          </xsl:for-each>
        </rf>
      </xsl:for-each>
    </recentfile>
  </xsl:template>
</xsl:stylesheet>
)";

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

// "C:\...", "\\server\share\...": a path as a Windows shortcut stores it, whose separator is
// the backslash. Everything else is a path or address of this machine, separated by "/".
bool isWindowsPath(const QString& path) {
    return (path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter()) ||
           path.startsWith(QLatin1String("\\\\"));
}

qsizetype lastSeparator(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (!isWindowsPath(path))
        return slash;
    return std::max(slash, path.lastIndexOf(QLatin1Char('\\')));
}

QIcon folderIcon(const QString& path) {
    const QFileInfo info(path);
    if (!isWindowsPath(path) && info.exists())
        return FileIcons::OfPath(path);
    const QIcon themed = QIcon::fromTheme(QStringLiteral("folder"));
    return themed.isNull() ? QFileIconProvider().icon(QFileIconProvider::Folder) : themed;
}

} // namespace

clsRecentFile::clsRecentFile() {
    mList = mDocument.appendChild(mDocument.createElement(QStringLiteral("recentfile")));
}

clsRecentFile::~clsRecentFile() = default;

void clsRecentFile::SetSources(std::vector<std::unique_ptr<RecentSource>> sources) {
    mSources = std::move(sources);
    mSourcesSet = true;
}

void clsRecentFile::setupStore() {
    if (mSetUp)
        return;
    // Word's templates are touched behind the user's back at every start of Word; they would
    // crowd out the documents.
    mFilter = QStringLiteral("@fileext!='dotm'");
    if (!mSourcesSet)
        SetSources(RecentSource::DesktopSources());
    if (!mSortSheet.loadXMLUtf8(QByteArray(kSortStylesheet)))
        throw QvError(QvErrors::General, QStringLiteral("sort stylesheet: ") + mSortSheet.parseError());
    mSetUp = true;
}

void clsRecentFile::initlRecentFileMenu(CommandBar* inCommandbar) {
    setupStore();
    if (inCommandbar && inCommandbar->Bars() && inCommandbar->Bars()->Icons())
        mIconStore = inCommandbar->Bars()->Icons();
    else if (!mIconStore)
        mIconStore = modInitial::gIconStore;
    mMenu = std::make_unique<clsRecentFileMenu>(this, inCommandbar);
}

QString clsRecentFile::FileNameOf(const QString& filelink) {
    const qsizetype separator = lastSeparator(filelink);
    if (separator == filelink.size() - 1)
        return filelink;
    return filelink.mid(separator + 1);
}

QString clsRecentFile::FileExtOf(const QString& filelink) {
    const qsizetype separator = lastSeparator(filelink);
    const QStringView name = QStringView(filelink).mid(separator + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toString().toLower();
}

qint32 clsRecentFile::TimeSerial(const QDateTime& local) {
    // Wall-clock readings on both sides, so a daylight-saving change in between adds nothing.
    // Times before the reference count backwards, so every comparison stays chronological.
    const QTime t = local.time();
    const QDateTime wall(local.date(), QTime(t.hour(), t.minute(), t.second()), Qt::UTC);
    static const QDateTime reference(QDate(2005, 1, 1), QTime(0, 0), Qt::UTC);
    const qint64 seconds = reference.secsTo(wall);
    return qint32(
        std::clamp<qint64>(seconds, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

void clsRecentFile::scanRecentFolder() {
    setupStore();
    // The previous list goes first, so a scan that fails leaves an empty list behind.
    mDocument = XmlDocument();
    mList = mDocument.appendChild(mDocument.createElement(QStringLiteral("recentfile")));
    mSameDocument.clear();
    struct Record {
        RecentEntry entry;
        QStringList others;
    };
    std::vector<Record> records;
    QHash<QString, size_t> byTarget;
    for (const std::unique_ptr<RecentSource>& source : mSources) {
        const QList<RecentEntry> entries = source->entries();
        for (const RecentEntry& entry : entries) {
            const auto known = byTarget.constFind(entry.target);
            if (known == byTarget.constEnd()) {
                byTarget.insert(entry.target, records.size());
                records.push_back({entry, {}});
                continue;
            }
            // The same document in another source: one record, the latest use, and removing
            // the record removes both entries.
            Record& record = records[*known];
            if (entry.lastUsed > record.entry.lastUsed) {
                record.others.append(record.entry.name);
                record.entry = entry;
            } else {
                record.others.append(entry.name);
            }
        }
    }

    XmlDocument document;
    XmlNode list = document.appendChild(document.createElement(QStringLiteral("recentfile")));
    QHash<QString, QStringList> sameDocument;
    for (const Record& record : records) {
        const RecentEntry& e = record.entry;
        const QDateTime local = e.lastUsed.toLocalTime();
        XmlNode rf = document.createElement(QStringLiteral("rf"));
        rf.setAttribute(QStringLiteral("ofilelink"), e.name);
        rf.setAttribute(QStringLiteral("filename"), FileNameOf(e.target));
        rf.setAttribute(QStringLiteral("filelink"), e.target);
        rf.setAttribute(QStringLiteral("fileext"), FileExtOf(e.target));
        rf.setAttribute(QStringLiteral("lastwritetime"), local.toString(kTimeFormat));
        rf.setAttribute(QStringLiteral("timeserial"), QString::number(TimeSerial(local)));
        list.appendChild(rf);
        if (!record.others.isEmpty())
            sameDocument.insert(e.name, record.others);
    }
    document.transformNodeToObject(mSortSheet, document);
    mDocument = document;
    mList = mDocument.documentElement();
    mSameDocument = std::move(sameDocument);
}

int clsRecentFile::getFileIconId(const QString& fileext, const QString& filelink) {
    const bool folder = fileext.isEmpty();
    if (folder ? mIconCache.Exists(QStringLiteral("filelink"), filelink)
               : mIconCache.Exists(QStringLiteral("ext"), fileext))
        return mIconCache.GetAttribute(QStringLiteral("iconid")).toInt();
    // A file type's icon comes from the type alone, so no document is opened for it.
    const QIcon icon = folder ? folderIcon(filelink) : FileIcons::OfExtension(fileext);
    const int id = mIconStore ? mIconStore->AddIcon(icon) : -1;
    mIconCache.Add();
    if (folder)
        mIconCache.SetAttribute(QStringLiteral("filelink"), filelink);
    else
        mIconCache.SetAttribute(QStringLiteral("ext"), fileext);
    mIconCache.SetAttribute(QStringLiteral("iconid"), QString::number(id));
    mIconCache.SetAttribute(QStringLiteral("isfolder"),
                            folder ? QStringLiteral("true") : QStringLiteral("false"));
    return id;
}

XmlNodeList clsRecentFile::getRecentFileTypes() const {
    return mIconCache.XMLNodeRoot().selectNodes(QStringLiteral("/*/*[@isfolder='false']"));
}

XmlNodeList clsRecentFile::query(const QString& xpath) const {
    return mList.selectNodes(xpath);
}

QString clsRecentFile::filesOnly() const {
    const QString filter = mFilter.isEmpty() ? QStringLiteral("@fileext!='dotm'") : mFilter;
    return QStringLiteral("rf[") + filter + QStringLiteral(" and @fileext!='']");
}

XmlNodeList clsRecentFile::getRecentFilesAll() const {
    return query(filesOnly());
}

XmlNodeList clsRecentFile::getRecentFilesTop(int n) const {
    return query(filesOnly() + QStringLiteral("[position()<=") + QString::number(n) + QLatin1Char(']'));
}

XmlNodeList clsRecentFile::getRecentFilesSince(int days) const {
    const qint32 start = TimeSerial(QDateTime(QDate::currentDate().addDays(-days), QTime(0, 0)));
    return query(filesOnly() + QStringLiteral("[@timeserial>") + QString::number(start) + QLatin1Char(']'));
}

XmlNodeList clsRecentFile::getRecentFilesBetween(const QDate& startDate, const QDate& endDate) const {
    const qint32 start = TimeSerial(QDateTime(startDate, QTime(0, 0)));
    const qint32 end = TimeSerial(QDateTime(endDate.addDays(1), QTime(0, 0)));
    return query(filesOnly() + QStringLiteral("[@timeserial>") + QString::number(start) +
                 QStringLiteral(" and @timeserial<") + QString::number(end) + QLatin1Char(']'));
}

XmlNodeList clsRecentFile::getRecentWordFiles() const {
    return query(QStringLiteral("rf[@fileext='docx' or @fileext='doc' or @fileext='txt' or @fileext='rtf' or "
                                "@fileext='wps']"));
}

XmlNodeList clsRecentFile::getRecentSheetFiles() const {
    return query(QStringLiteral("rf[@fileext='xls' or @fileext='xlsx' or @fileext='et']"));
}

XmlNodeList clsRecentFile::getRecentSlideFiles() const {
    return query(
        QStringLiteral("rf[@fileext='ppt' or @fileext='pptx' or @fileext='pps' or @fileext='ppsx' or "
                       "@fileext='dps' or @fileext='odp']"));
}

XmlNodeList clsRecentFile::getRecentPdfFiles() const {
    return query(QStringLiteral("rf[@fileext='pdf' or @fileext='xps' ]"));
}

XmlNodeList clsRecentFile::getRecentImageFiles() const {
    return query(QStringLiteral("rf[@fileext='bmp' or @fileext='jpg' or @fileext='gif' or @fileext='tif' or "
                                "@fileext='tiff' or @fileext='png' or @fileext='eps' or @fileext='jpeg'  or "
                                "@fileext='psd' or @fileext='rle' or @fileext='dib' or @fileext='raw' or "
                                "@fileext='pcx']"));
}

XmlNodeList clsRecentFile::getRecentFileRecords() const {
    return query(QStringLiteral("rf[@fileext!='']"));
}

XmlNodeList clsRecentFile::getRecentFolders() const {
    return query(QStringLiteral("rf[@fileext='']"));
}

XmlNodeList clsRecentFile::getRecentFilesByExt(const QString& extension) const {
    // Quoted as an XPath literal: an extension is part of a file name and may hold a quote.
    return query(QStringLiteral("rf[@fileext=") + XPathLiteral(extension) + QLatin1Char(']'));
}

XmlNodeList clsRecentFile::getRecentRecords() const {
    return query(QStringLiteral("rf"));
}

void clsRecentFile::deleteRecentRecords(const XmlNodeList& records, const QString& description) {
    if (modMessagebox::ConfirmRemoveRecentDocument(description) != Answer::Yes)
        return;
    QStringList names;
    for (const XmlNode& record : records) {
        const QString name = record.getAttribute(QStringLiteral("ofilelink"));
        names << name << mSameDocument.value(name);
    }
    removeNames(names, true);
}

void clsRecentFile::removeRecord(const QString& ofilelink, bool force) {
    removeNames(QStringList{ofilelink} + mSameDocument.value(ofilelink), force);
}

void clsRecentFile::removeNames(const QStringList& names, bool force) {
    setupStore();
    // Each source takes its own entries at once (a list file is rewritten once), in the order
    // the sources first appear among the names.
    std::vector<std::pair<RecentSource*, QStringList>> groups;
    for (const QString& name : names) {
        RecentSource* owner = nullptr;
        for (const std::unique_ptr<RecentSource>& source : mSources) {
            if (source->owns(name)) {
                owner = source.get();
                break;
            }
        }
        // Whatever a caller passes, nothing outside the recent sources is ever removed.
        if (!owner)
            throw QvError(QvErrors::PathAccess,
                          name + QStringLiteral(" is not an entry of the recent documents"));
        auto group =
            std::find_if(groups.begin(), groups.end(), [owner](const auto& g) { return g.first == owner; });
        if (group == groups.end())
            groups.push_back({owner, {name}});
        else
            group->second.append(name);
    }
    for (const auto& [source, group] : groups) {
        const RecentRemoveResult result = source->remove(group, force);
        if (!result.ok())
            throw QvError(QvErrors::PathAccess, result.detail);
    }
}
