#pragma once
#include "core/XmlDocument.h"

// A small in-memory table whose rows are XML elements and whose columns are free attributes,
// so that rows are found with XPath. The rows are `cnode` children of a private document's
// `root` element, in insertion order. Nothing is kept on disk.
class clsExtCollection {
public:
    clsExtCollection();

    // The `root` element of the private document.
    XmlNode XMLNodeRoot() const { return mRoot; }
    // The rows, in insertion order, as they are at the time of the call.
    XmlNodeList XMLNodeList() const { return mRoot.childElements(); }

    // Appends a new row and makes it the current row.
    void Add();
    // Sets an attribute of the current row, creating it when absent. Throws QvError when there
    // is no current row.
    void SetAttribute(const QString& AttriName, const QString& AttriValue);
    // An attribute of the current row (empty when the row lacks it). Throws QvError when there
    // is no current row.
    QString GetAttribute(const QString& AttriName) const;
    // Makes the first row whose attribute equals the value (exactly, case-sensitively) the
    // current row and returns true; returns false and keeps the current row otherwise.
    bool Exists(const QString& AttriName, const QString& AttriValue);

private:
    XmlDocument mDocument;
    XmlNode mRoot;
    XmlNode mCurrent;
};
