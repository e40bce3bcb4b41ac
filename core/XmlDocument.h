#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

// The program's XML document service over libxml2 / libxslt.
//
// Documents are parsed from whole texts, edited in place and serialised again. Selections
// use XPath 1.0, sorting uses XSLT 1.0. Whitespace-only text between elements is dropped on
// load, so child lists hold only the nodes that carry data.
//
// XmlNode and XmlDocument are cheap handles that share ownership of the underlying tree:
// a node stays valid as long as any handle to it exists, also after it was removed from its
// parent. Failures of the service (an invalid XPath, a node from nowhere) throw QvError.
//
// A text with a document type declaration (<!DOCTYPE ...>) is not loaded: the program's
// documents never need one, and without it no entity can be declared, expanded or fetched.
// libxml2's limits on depth, name and text sizes stay on.

struct XmlDocHolder;
class XmlDocument;
class XmlNodeList;
struct _xmlNode;

class XmlNode {
public:
    enum Type { Null = 0, Element = 1, Attribute = 2, Text = 3, CData = 4, Comment = 8, Document = 9 };

    XmlNode() = default;
    bool isNull() const { return mNode == nullptr; }
    explicit operator bool() const { return mNode != nullptr; }
    bool operator==(const XmlNode& other) const { return mNode == other.mNode; }
    bool operator!=(const XmlNode& other) const { return mNode != other.mNode; }

    Type nodeType() const;
    QString nodeName() const;
    // Concatenated text content (element text, attribute value).
    QString text() const;
    void setText(const QString& text);
    // Serialised subtree; parses again with XmlDocument::loadXML.
    QString xml() const;

    // First match in document order, or a null node. Relative paths start at this node.
    XmlNode selectSingleNode(const QString& xpath) const;
    XmlNodeList selectNodes(const QString& xpath) const;

    // The attribute's value, or nothing when the element has no such attribute.
    std::optional<QString> attribute(const QString& name) const;
    bool hasAttribute(const QString& name) const { return attribute(name).has_value(); }
    // The attribute's value, or the empty text when absent.
    QString getAttribute(const QString& name) const { return attribute(name).value_or(QString()); }
    // The attribute's value; throws QvError naming the element and attribute when absent.
    QString requiredAttribute(const QString& name) const;
    // Creates the attribute when absent; new attributes go after the existing ones.
    void setAttribute(const QString& name, const QString& value);
    void removeAttribute(const QString& name);
    QStringList attributeNames() const;

    XmlNode parentNode() const;
    XmlNode firstChild() const;
    XmlNode lastChild() const;
    XmlNode nextSibling() const;
    bool hasChildNodes() const;
    // All child nodes in document order (elements, text, comments).
    XmlNodeList childNodes() const;
    // Child elements only, in document order.
    XmlNodeList childElements() const;

    // Appends as the last child. A node of another document is copied into this one first;
    // a node that already has a parent is moved. Returns the node now in place.
    XmlNode appendChild(const XmlNode& child);
    // Inserts before `reference`; a null reference appends.
    XmlNode insertBefore(const XmlNode& child, const XmlNode& reference);
    // Puts `newChild` in place of `oldChild`; returns the removed old child.
    XmlNode replaceChild(const XmlNode& newChild, const XmlNode& oldChild);
    // Unlinks the child; it stays usable and can be appended again.
    XmlNode removeChild(const XmlNode& child);
    // An unattached copy in the same document.
    XmlNode cloneNode(bool deep) const;

    XmlDocument ownerDocument() const;

private:
    friend class XmlDocument;
    friend class XmlNodeList;
    XmlNode(std::shared_ptr<XmlDocHolder> holder, _xmlNode* node) : mHolder(std::move(holder)), mNode(node) {}
    _xmlNode* adoptForInsert(const XmlNode& child) const;
    void requireNode(const char* operation) const;

    std::shared_ptr<XmlDocHolder> mHolder;
    _xmlNode* mNode = nullptr;
};

class XmlNodeList {
public:
    XmlNodeList() = default;
    // A list of nodes chosen by the caller, in the caller's order.
    explicit XmlNodeList(std::vector<XmlNode> nodes) : mNodes(std::move(nodes)) {}
    int length() const { return int(mNodes.size()); }
    // Zero-based; a null node past the end.
    XmlNode item(int index) const;
    std::vector<XmlNode>::const_iterator begin() const { return mNodes.begin(); }
    std::vector<XmlNode>::const_iterator end() const { return mNodes.end(); }

private:
    friend class XmlNode;
    friend class XmlDocument;
    std::vector<XmlNode> mNodes;
};

class XmlDocument {
public:
    // A new, empty document.
    XmlDocument();

    // Parses a whole text. Trailing NUL characters (the padding of decrypted data files) are
    // ignored, and an encoding named in the declaration is overridden since the text is
    // already decoded. On failure (also for a text with a document type declaration) the
    // document is empty, false is returned and parseError() says why.
    bool loadXML(const QString& text);
    // Same for UTF-8 bytes.
    bool loadXMLUtf8(const QByteArray& utf8);
    // Why the last load failed, or empty.
    QString parseError() const;
    // The last load failed because the text has a document type declaration.
    bool refusedDocumentType() const;

    bool isEmpty() const;
    QString xml() const;
    QByteArray xmlUtf8() const;
    // Writes the document as a plain UTF-8 file; throws QvError on failure.
    void save(const QString& path) const;

    XmlNode documentElement() const;
    // The document node itself; selections from it see the document element as child.
    XmlNode asNode() const;
    XmlNode selectSingleNode(const QString& xpath) const { return asNode().selectSingleNode(xpath); }
    XmlNodeList selectNodes(const QString& xpath) const { return asNode().selectNodes(xpath); }

    XmlNode createElement(const QString& name);
    XmlNode createTextNode(const QString& text);
    // Appends the document element of an empty document.
    XmlNode appendChild(const XmlNode& child) { return asNode().appendChild(child); }

    // `handler` runs after every edit of this document's tree (attributes, text, children added,
    // moved or removed) and after new content is loaded into it. One handler per document; an
    // empty function removes it.
    void setChangeHandler(std::function<void()> handler);

    // Applies an XSLT 1.0 stylesheet to this document; the output replaces `result`'s content.
    // Throws QvError when the stylesheet is not usable or the transformation fails.
    void transformNodeToObject(const XmlDocument& stylesheet, XmlDocument& result) const;

private:
    friend class XmlNode;
    explicit XmlDocument(std::shared_ptr<XmlDocHolder> holder) : mHolder(std::move(holder)) {}
    void replaceHolder(std::shared_ptr<XmlDocHolder> holder);
    std::shared_ptr<XmlDocHolder> mHolder;
};

// Quotes a value as an XPath 1.0 string literal (concat() when it holds both quote kinds).
QString XPathLiteral(const QString& value);
