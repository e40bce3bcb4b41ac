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
#include <cstdio>
#include <ctime>
#include <limits>
#include <utility>

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

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
qint64 daysFromCivil(qint64 y, unsigned m, unsigned d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

// Seconds from 2005-01-01 00:00:00 to a wall-clock reading, so a daylight-saving change in
// between adds nothing; negative before it, so every comparison stays chronological. Held to
// the 32-bit range.
qint32 serialOf(int year, int month, int day, int hour, int minute, int second) {
    static const qint64 reference = daysFromCivil(2005, 1, 1);
    const qint64 seconds = (daysFromCivil(year, unsigned(month), unsigned(day)) - reference) * 86400 +
                           hour * 3600 + minute * 60 + second;
    return qint32(
        std::clamp<qint64>(seconds, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

struct LocalTime {
    QString text; // "yyyy-mm-dd hh:mm:ss"
    qint32 serial;
};

// A time of the sources in local time. Straight from the C library: a list of thousands of
// records converts thousands of times.
LocalTime localTime(qint64 secondsSinceEpoch) {
    const time_t t = time_t(secondsSinceEpoch);
    struct tm local {};
    if (!localtime_r(&t, &local))
        return {QStringLiteral("1970-01-01 00:00:00"), serialOf(1970, 1, 1, 0, 0, 0)};
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return {QString::fromLatin1(text), serialOf(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                                local.tm_hour, local.tm_min, local.tm_sec)};
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
    const QDate d = local.date();
    const QTime t = local.time();
    return serialOf(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

void clsRecentFile::scanRecentFolder() {
    setupStore();
    // The previous list goes first, so a scan that fails leaves an empty list behind.
    std::vector<Origin> previousSource = std::exchange(mListSource, {});
    XmlDocument previousDocument = std::exchange(mDocument, XmlDocument());
    XmlNode previousList = mList;
    QHash<QString, QStringList> previousSame = std::exchange(mSameDocument, {});
    QHash<QString, XmlNodeList> previousAnswers = std::exchange(mAnswers, {});
    mList = mDocument.appendChild(mDocument.createElement(QStringLiteral("recentfile")));

    std::vector<Origin> records;
    QHash<QString, size_t> byTarget;
    for (const std::unique_ptr<RecentSource>& source : mSources) {
        const QList<RecentEntry> entries = source->entries();
        for (const RecentEntry& entry : entries) {
            const auto known = byTarget.constFind(entry.target);
            if (known == byTarget.constEnd()) {
                byTarget.insert(entry.target, records.size());
                records.push_back({entry.name, entry.target, entry.lastUsed, {}});
                continue;
            }
            // The same document in another source: one record, the latest use, and removing
            // the record removes both entries.
            Origin& record = records[*known];
            if (entry.lastUsed > record.lastUsed) {
                record.others.append(record.name);
                record.name = entry.name;
                record.lastUsed = entry.lastUsed;
            } else {
                record.others.append(entry.name);
            }
        }
    }
    if (records == previousSource && !previousList.isNull()) {
        // Nothing changed since the last scan: that list is this one.
        mDocument = previousDocument;
        mList = previousList;
        mSameDocument = std::move(previousSame);
        mAnswers = std::move(previousAnswers);
        mListSource = std::move(records);
        return;
    }

    XmlDocument document;
    XmlNode list = document.appendChild(document.createElement(QStringLiteral("recentfile")));
    QHash<QString, QStringList> sameDocument;
    for (const Origin& record : records) {
        const LocalTime local = localTime(record.lastUsed);
        XmlNode rf = document.createElement(QStringLiteral("rf"));
        rf.setAttribute(QStringLiteral("ofilelink"), record.name);
        rf.setAttribute(QStringLiteral("filename"), FileNameOf(record.target));
        rf.setAttribute(QStringLiteral("filelink"), record.target);
        rf.setAttribute(QStringLiteral("fileext"), FileExtOf(record.target));
        rf.setAttribute(QStringLiteral("lastwritetime"), local.text);
        rf.setAttribute(QStringLiteral("timeserial"), QString::number(local.serial));
        list.appendChild(rf);
        if (!record.others.isEmpty())
            sameDocument.insert(record.name, record.others);
    }
    document.transformNodeToObject(mSortSheet, document);
    mDocument = document;
    mList = mDocument.documentElement();
    mSameDocument = std::move(sameDocument);
    mListSource = std::move(records);
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
    // The list does not change between scans, so neither does an answer.
    if (const auto known = mAnswers.constFind(xpath); known != mAnswers.constEnd())
        return *known;
    const XmlNodeList answer = mList.selectNodes(xpath);
    mAnswers.insert(xpath, answer);
    return answer;
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
