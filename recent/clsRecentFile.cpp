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
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <limits>
#include <utility>

namespace {

// The type groups of the menu: the XPath the commands ask and the extensions it matches.
struct TypeGroup {
    const char* xpath;
    std::initializer_list<const char*> extensions;
};
const TypeGroup kWordFiles{
    "rf[@fileext='docx' or @fileext='doc' or @fileext='txt' or @fileext='rtf' or @fileext='wps']",
    {"docx", "doc", "txt", "rtf", "wps"}};
const TypeGroup kSheetFiles{"rf[@fileext='xls' or @fileext='xlsx' or @fileext='et']", {"xls", "xlsx", "et"}};
const TypeGroup kSlideFiles{"rf[@fileext='ppt' or @fileext='pptx' or @fileext='pps' or @fileext='ppsx' or "
                            "@fileext='dps' or @fileext='odp']",
                            {"ppt", "pptx", "pps", "ppsx", "dps", "odp"}};
const TypeGroup kPdfFiles{"rf[@fileext='pdf' or @fileext='xps' ]", {"pdf", "xps"}};
const TypeGroup kImageFiles{
    "rf[@fileext='bmp' or @fileext='jpg' or @fileext='gif' or @fileext='tif' or "
    "@fileext='tiff' or @fileext='png' or @fileext='eps' or @fileext='jpeg'  or "
    "@fileext='psd' or @fileext='rle' or @fileext='dib' or @fileext='raw' or "
    "@fileext='pcx']",
    {"bmp", "jpg", "gif", "tif", "tiff", "png", "eps", "jpeg", "psd", "rle", "dib", "raw", "pcx"}};
const char kFolders[] = "rf[@fileext='']";
// The menu's top ten and its date counts.
constexpr int kMenuTop = 10;
constexpr int kMenuDays[] = {1, 7};

bool inGroup(const TypeGroup& group, const QString& ext) {
    return std::any_of(group.extensions.begin(), group.extensions.end(),
                       [&ext](const char* e) { return ext == QLatin1String(e); });
}

QString topOf(const QString& files, int n) {
    return files + QStringLiteral("[position()<=") + QString::number(n) + QLatin1Char(']');
}

qint32 startOfDay(int daysBack);

QString sinceOf(const QString& files, int days) {
    return files + QStringLiteral("[@timeserial>") + QString::number(startOfDay(days)) + QLatin1Char(']');
}

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

qint32 startOfDay(int daysBack) {
    return clsRecentFile::TimeSerial(QDateTime(QDate::currentDate().addDays(-daysBack), QTime(0, 0)));
}

// An extension as the record's attribute holds it and XPath compares it: plain ASCII is stored
// unchanged; anything else is read back from the element, which holds what XML can store.
QString storedExt(const QString& ext, const XmlNode& node) {
    const bool plain = std::all_of(ext.cbegin(), ext.cend(),
                                   [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; });
    return plain ? ext : node.getAttribute(QStringLiteral("fileext"));
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
    std::vector<Row> previousRows = std::exchange(mRows, {});
    QHash<QString, qsizetype> previousRowByName = std::exchange(mRowByName, {});
    const qsizetype previousDetached = std::exchange(mDetached, 0);
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
        mRows = std::move(previousRows);
        mRowByName = std::move(previousRowByName);
        mDetached = previousDetached;
        return;
    }

    // Elements of unchanged records are reused from the previous document, unless the elements
    // it no longer lists have come to outnumber the records: then everything starts afresh.
    const bool reuse = !previousList.isNull() && previousDetached <= qsizetype(records.size());
    XmlDocument document = reuse ? previousDocument : XmlDocument();
    if (!reuse) {
        previousRows.clear();
        previousRowByName.clear();
    }
    std::vector<Row> rows;
    rows.reserve(records.size());
    QHash<QString, QStringList> sameDocument;
    qsizetype kept = 0;
    for (const Origin& record : records) {
        const auto before = previousRowByName.constFind(record.name);
        if (before != previousRowByName.constEnd()) {
            Row& old = previousRows[size_t(*before)];
            if (!old.node.isNull() && old.target == record.target && old.lastUsed == record.lastUsed) {
                rows.push_back(std::move(old));
                old.node = XmlNode();
                ++kept;
                if (!record.others.isEmpty())
                    sameDocument.insert(record.name, record.others);
                continue;
            }
        }
        const LocalTime local = localTime(record.lastUsed);
        Row row{record.target, record.lastUsed, FileExtOf(record.target), local.text, local.serial, {}};
        row.node = document.createElement(QStringLiteral("rf"));
        row.node.setAttribute(QStringLiteral("ofilelink"), record.name);
        row.node.setAttribute(QStringLiteral("filename"), FileNameOf(record.target));
        row.node.setAttribute(QStringLiteral("filelink"), record.target);
        row.node.setAttribute(QStringLiteral("fileext"), row.ext);
        row.node.setAttribute(QStringLiteral("lastwritetime"), local.text);
        row.node.setAttribute(QStringLiteral("timeserial"), QString::number(local.serial));
        rows.push_back(std::move(row));
        if (!record.others.isEmpty())
            sameDocument.insert(record.name, record.others);
    }

    // Newest first by the fixed-width time text; a stable sort keeps the sources' order among
    // equal times, as xsl:sort does with document order.
    std::vector<size_t> order(rows.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&rows](size_t a, size_t b) { return rows[b].time < rows[a].time; });

    XmlNode list = document.createElement(QStringLiteral("recentfile"));
    std::vector<Row> sorted;
    sorted.reserve(rows.size());
    QHash<QString, qsizetype> rowByName;
    rowByName.reserve(qsizetype(rows.size()));
    for (size_t i : order) {
        list.appendChild(rows[i].node);
        rowByName.insert(records[i].name, qsizetype(sorted.size()));
        sorted.push_back(std::move(rows[i]));
    }
    if (reuse)
        document.asNode().replaceChild(list, previousList);
    else
        document.appendChild(list);

    mDocument = document;
    mList = list;
    mRows = std::move(sorted);
    mRowByName = std::move(rowByName);
    // The previous list element and the records it still holds stay in the document unused.
    mDetached = reuse ? previousDetached + 1 + (qsizetype(previousRows.size()) - kept) : 0;
    mSameDocument = std::move(sameDocument);
    mListSource = std::move(records);
    answerMenuQueries();
}

void clsRecentFile::answerMenuQueries() {
    // The same answers XPath gives (document order, the same tests on the same attribute values),
    // found in one pass instead of one pass per query.
    const TypeGroup* groups[] = {&kWordFiles, &kSheetFiles, &kSlideFiles, &kPdfFiles, &kImageFiles};
    std::vector<XmlNode> files, top, folders;
    std::vector<XmlNode> byGroup[std::size(groups)];
    std::vector<XmlNode> byDays[std::size(kMenuDays)];
    qint32 starts[std::size(kMenuDays)];
    for (size_t d = 0; d < std::size(kMenuDays); ++d)
        starts[d] = startOfDay(kMenuDays[d]);
    const bool templatesOut = mFilter.isEmpty() || mFilter == QStringLiteral("@fileext!='dotm'");
    if (!templatesOut)
        return; // another filter: the queries ask XPath
    for (const Row& row : mRows) {
        const QString ext = storedExt(row.ext, row.node);
        if (ext.isEmpty()) {
            folders.push_back(row.node);
            continue;
        }
        for (size_t g = 0; g < std::size(groups); ++g) {
            if (inGroup(*groups[g], ext))
                byGroup[g].push_back(row.node);
        }
        if (ext == QLatin1String("dotm"))
            continue;
        files.push_back(row.node);
        if (top.size() < size_t(kMenuTop))
            top.push_back(row.node);
        for (size_t d = 0; d < std::size(kMenuDays); ++d) {
            if (row.serial > starts[d])
                byDays[d].push_back(row.node);
        }
    }
    const QString all = filesOnly();
    for (size_t g = 0; g < std::size(groups); ++g)
        mAnswers.insert(QString::fromUtf8(groups[g]->xpath), XmlNodeList(std::move(byGroup[g])));
    for (size_t d = 0; d < std::size(kMenuDays); ++d)
        mAnswers.insert(all + QStringLiteral("[@timeserial>") + QString::number(starts[d]) + QLatin1Char(']'),
                        XmlNodeList(std::move(byDays[d])));
    mAnswers.insert(topOf(all, kMenuTop), XmlNodeList(std::move(top)));
    mAnswers.insert(all, XmlNodeList(std::move(files)));
    mAnswers.insert(QString::fromLatin1(kFolders), XmlNodeList(std::move(folders)));
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
    return query(topOf(filesOnly(), n));
}

XmlNodeList clsRecentFile::getRecentFilesSince(int days) const {
    return query(sinceOf(filesOnly(), days));
}

XmlNodeList clsRecentFile::getRecentFilesBetween(const QDate& startDate, const QDate& endDate) const {
    const qint32 start = TimeSerial(QDateTime(startDate, QTime(0, 0)));
    const qint32 end = TimeSerial(QDateTime(endDate.addDays(1), QTime(0, 0)));
    return query(filesOnly() + QStringLiteral("[@timeserial>") + QString::number(start) +
                 QStringLiteral(" and @timeserial<") + QString::number(end) + QLatin1Char(']'));
}

XmlNodeList clsRecentFile::getRecentWordFiles() const {
    return query(QString::fromUtf8(kWordFiles.xpath));
}

XmlNodeList clsRecentFile::getRecentSheetFiles() const {
    return query(QString::fromUtf8(kSheetFiles.xpath));
}

XmlNodeList clsRecentFile::getRecentSlideFiles() const {
    return query(QString::fromUtf8(kSlideFiles.xpath));
}

XmlNodeList clsRecentFile::getRecentPdfFiles() const {
    return query(QString::fromUtf8(kPdfFiles.xpath));
}

XmlNodeList clsRecentFile::getRecentImageFiles() const {
    return query(QString::fromUtf8(kImageFiles.xpath));
}

XmlNodeList clsRecentFile::getRecentFileRecords() const {
    return query(QStringLiteral("rf[@fileext!='']"));
}

XmlNodeList clsRecentFile::getRecentFolders() const {
    return query(QString::fromLatin1(kFolders));
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
