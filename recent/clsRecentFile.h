#pragma once
#include "core/XmlDocument.h"
#include "recent/clsExtCollection.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QStringList>
#include <memory>
#include <vector>

class CommandBar;
class IconStore;
class RecentSource;
class clsRecentFileMenu;

// The documents and folders the user opened recently, read from the desktop's recent sources
// into an in-memory XML list: `recentfile` with one `rf` record per document, newest first.
// Each attribute of a record:
//   ofilelink      the shortcut file or the list entry the record comes from
//   filename       the target's name: the part after its last separator, or the whole path
//                  when it ends with a separator
//   filelink       the target path
//   fileext        the name's extension in lower case without the dot; empty marks a folder
//   lastwritetime  last use, local time, "yyyy-MM-dd hh:mm:ss"
//   timeserial     seconds from 2005-01-01 00:00:00 to lastwritetime, negative before it
// The list is renewed by every scan that finds a change; queries answer the menu's filters by date and type
// with XPath, and deletions remove shortcut files or list entries, never the documents.
class clsRecentFile {
public:
    clsRecentFile();
    ~clsRecentFile();
    clsRecentFile(const clsRecentFile&) = delete;
    clsRecentFile& operator=(const clsRecentFile&) = delete;

    // Puts the menu "最近的文档" on the toolbar and sets up the store: the sources it reads
    // (the desktop's, unless set before) and the record filter. Icons of
    // the entries go into the toolbar's icon store.
    void initlRecentFileMenu(CommandBar* inCommandbar);
    // The menu made by initlRecentFileMenu (nullptr before).
    clsRecentFileMenu* Menu() const { return mMenu.get(); }

    // The sources the scan reads. Takes effect at once; the desktop's own are used otherwise.
    void SetSources(std::vector<std::unique_ptr<RecentSource>> sources);
    // The store that run-time icons are registered in (nullptr: entries get no icon).
    void SetIconStore(IconStore* store) { mIconStore = store; }

    // Rebuilds the list from the sources: one record per target (the newest use wins when
    // several sources name the same document), sorted newest first. A source missing on this
    // machine is skipped. When the sources hold exactly what the last scan found, the list
    // built then is kept, with the answers of the queries already asked. Otherwise the list is
    // a new `recentfile` element; records whose entry, target and time are unchanged move into
    // it as they are, so a change of one entry costs about one record's work. The order is that
    // of an XSLT xsl:sort on lastwritetime, descending: ties keep the sources' order.
    void scanRecentFolder();
    // The `recentfile` element of the last scan.
    XmlNode RecentFileList() const { return mList; }

    // The icon number for a record's entry, through the icon cache: one row per extension, or
    // per target path for a record without an extension.
    int getFileIconId(const QString& fileext, const QString& filelink);
    clsExtCollection& IconCache() { return mIconCache; }
    // The file types seen so far: the icon cache's rows for extensions, in the cache's order.
    XmlNodeList getRecentFileTypes() const;

    // Records with an extension other than dotm.
    XmlNodeList getRecentFilesAll() const;
    // The first n of getRecentFilesAll.
    XmlNodeList getRecentFilesTop(int n) const;
    // Records of getRecentFilesAll after today's 00:00:00 minus d days (0: today).
    XmlNodeList getRecentFilesSince(int days) const;
    // Records of getRecentFilesAll after the start date's 00:00:00 and before the 00:00:00 that
    // ends the end date; both bounds exclusive.
    XmlNodeList getRecentFilesBetween(const QDate& startDate, const QDate& endDate) const;
    XmlNodeList getRecentWordFiles() const;
    XmlNodeList getRecentSheetFiles() const;
    XmlNodeList getRecentSlideFiles() const;
    XmlNodeList getRecentPdfFiles() const;
    XmlNodeList getRecentImageFiles() const;
    // Every record with an extension, templates included.
    XmlNodeList getRecentFileRecords() const;
    XmlNodeList getRecentFolders() const;
    XmlNodeList getRecentFilesByExt(const QString& extension) const;
    // Every record: files, folders and templates.
    XmlNodeList getRecentRecords() const;

    // Asks ConfirmRemoveRecentDocument with the description; on yes removes every record's
    // shortcut or list entry, write-protected shortcuts included. Stops at the first failure
    // with a QvError. The list itself stays as it is until the next scan.
    void deleteRecentRecords(const XmlNodeList& records, const QString& description);
    // Removes one record's shortcut or list entry (and those of the same document in other
    // sources) without asking. Throws QvError when it fails or when `ofilelink` is not an entry
    // of any source.
    void removeRecord(const QString& ofilelink, bool force);

    // The record fields derived from a target path.
    static QString FileNameOf(const QString& filelink);
    static QString FileExtOf(const QString& filelink);
    // Seconds from 2005-01-01 00:00:00 to the local date-time, wall-clock, negative before;
    // held to the 32-bit range.
    static qint32 TimeSerial(const QDateTime& local);

private:
    void setupStore();
    XmlNodeList query(const QString& xpath) const;
    QString filesOnly() const;
    void removeNames(const QStringList& names, bool force);
    // Answers the queries behind the menu's top ten and counts in one pass over the records.
    void answerMenuQueries();

    std::vector<std::unique_ptr<RecentSource>> mSources;
    bool mSourcesSet = false;
    bool mSetUp = false;
    QString mFilter;
    XmlDocument mDocument;
    XmlNode mList;
    // What the list was built from: per record its entry, its time and the entries of the same
    // document in other sources.
    struct Origin {
        QString name;
        QString target;
        qint64 lastUsed = 0;
        QStringList others;
        bool operator==(const Origin&) const = default;
    };
    std::vector<Origin> mListSource;
    // One element of the list with the fields it was made from, so that the next scan keeps it
    // when its entry names the same target at the same time.
    struct Row {
        QString target;
        qint64 lastUsed = 0;
        QString ext;
        QString time;
        qint32 serial = 0;
        XmlNode node;
    };
    // The rows of the current list, newest first, and their positions by ofilelink.
    std::vector<Row> mRows;
    QHash<QString, qsizetype> mRowByName;
    // Elements of mDocument that left the list (replaced records, earlier list elements); the
    // document is started afresh when they outnumber the records.
    qsizetype mDetached = 0;
    // Answers of the queries on the current list, by expression.
    mutable QHash<QString, XmlNodeList> mAnswers;
    // Entries of other sources that name the same document as a record, by the record's ofilelink.
    QHash<QString, QStringList> mSameDocument;
    clsExtCollection mIconCache;
    IconStore* mIconStore = nullptr;
    std::unique_ptr<clsRecentFileMenu> mMenu;
};
