#pragma once
#include "core/XmlDocument.h"

#include <QDateTime>
#include <QObject>
#include <QString>

// The pages the user closed, newest first and at most MaxRecords of them, kept in the user
// data's `RecentlyClosedPages` element as `rcp` records (vtime, url, caption, tips,
// ThumbnailName, frmhwnd, rindex). Each record owns a thumbnail file in the cache folder,
// deleted with the record. Only a file directly inside the cache folder is ever deleted: a
// ThumbnailName from the user data that names anything else is dropped from its record by Load
// and logged, and removing a record never deletes a file outside the cache folder. The "rcp" page's script
// reaches the list through the browser host, which is why the page operations are invokable and Changed is a
// signal.
class clsRecentClosedPages : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxRecords = 30;

    explicit clsRecentClosedPages(QObject* parent = nullptr);

    // The `RecentlyClosedPages` element.
    XmlNode XMLNode;
    void Load(XmlNode inNode);

    // Puts a closed page on top of the list. An earlier record of the same address goes (with its
    // thumbnail), and so does the oldest once the list is full. `vfrmHwnd` is not kept.
    // Throws QvError when the list is not loaded.
    void Add(const QDateTime& vDatetime, const QString& vURL, const QString& vCaption, const QString& vTips,
             const QString& vThumbnailName, const QString& vfrmHwnd, const QString& rIndex);

    // Removes the record with the key `vAsctime` and its thumbnail, after asking the user unless
    // `isSilent`. True when the record went; false when the user declined, no record has that key
    // or the user data could not be written (the record then stays).
    Q_INVOKABLE bool Remove(const QString& vAsctime, bool isSilent);
    // Clears the list after asking the user. True when it was cleared; false when the user
    // declined or the user data could not be written (the list then stays).
    Q_INVOKABLE bool RemoveAll();
    // The list as the body of a script function that returns an array of records, each an array
    // of the seven values as strings, newest first:
    //   var ILData=new Array(new Array("…",…,"…"),…);return ILData;
    // Every value is a complete string literal, safe also inside an HTML script element.
    Q_INVOKABLE QString GetWebData();

    // A value as a script string literal in double quotes.
    static QString ScriptLiteral(const QString& value);

signals:
    // After every change of the list.
    void Changed();

private:
    XmlNodeList records() const;
    XmlNode findByKey(const QString& key) const;
    // Takes a record out, saves, deletes its thumbnail (unless it is `keepFile`, still in use).
    bool removeRecord(const XmlNode& record, const QString& keepFile, bool notify);
    void saveUserData();
};
