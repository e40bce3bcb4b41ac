#include "core/XmlDocument.h"

#include "core/QvError.h"

#include "core/modSafeFile.h"

#include <functional>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlsave.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>
#include <libxslt/transform.h>
#include <libxslt/xslt.h>
#include <libxslt/xsltInternals.h>
#include <libxslt/xsltutils.h>
#include <limits>
#include <mutex>
#include <unordered_set>

// Owns one libxml2 document and every node that was detached from it (removed children,
// created but never attached elements). Detached nodes are freed with the document unless
// they found a parent again in the meantime.
struct XmlDocHolder {
    xmlDocPtr doc = nullptr;
    std::unordered_set<xmlNodePtr> detached;
    QString parseError;
    bool documentTypeRefused = false;
    // Told after every edit of the tree through a node or the document.
    std::function<void()> changed;

    void notifyChanged() const {
        if (changed)
            changed();
    }

    XmlDocHolder() : doc(xmlNewDoc(BAD_CAST "1.0")) {}
    explicit XmlDocHolder(xmlDocPtr d) : doc(d) {}
    ~XmlDocHolder() {
        // Free the roots of detached subtrees only; their descendants go with them.
        for (xmlNodePtr n : detached) {
            if (n->parent == nullptr)
                xmlFreeNode(n);
        }
        if (doc)
            xmlFreeDoc(doc);
    }
    XmlDocHolder(const XmlDocHolder&) = delete;
    XmlDocHolder& operator=(const XmlDocHolder&) = delete;
};

namespace {

void silentErrors(void*, const char*, ...) {}

void initLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        xmlInitParser();
        // Parse errors are reported through the document's parseError, not printed.
        xmlSetGenericErrorFunc(nullptr, silentErrors);
        xsltSetGenericErrorFunc(nullptr, silentErrors);
    });
}

QString fromXml(const xmlChar* s) {
    return s ? QString::fromUtf8(reinterpret_cast<const char*>(s)) : QString();
}

QString takeXml(xmlChar* s) {
    QString r = fromXml(s);
    xmlFree(s);
    return r;
}

// Characters XML 1.0 cannot hold (most control characters, U+FFFE/U+FFFF, lone surrogates)
// are dropped from every value written into a document: one such character in a page title
// would otherwise make the whole saved file unreadable at the next start.
QByteArray xmlSafeUtf8(const QString& text) {
    bool clean = true;
    for (qsizetype i = 0; i < text.size() && clean; ++i) {
        const char16_t c = text.at(i).unicode();
        clean = !((c < 0x20 && c != 0x9 && c != 0xA && c != 0xD) || c == 0xFFFE || c == 0xFFFF ||
                  QChar::isSurrogate(c));
    }
    if (clean)
        return text.toUtf8();
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out.append(c).append(text.at(i + 1));
            ++i;
            continue;
        }
        if ((u < 0x20 && u != 0x9 && u != 0xA && u != 0xD) || u == 0xFFFE || u == 0xFFFF || c.isSurrogate())
            continue;
        out.append(c);
    }
    return out.toUtf8();
}

[[noreturn]] void fail(const QString& what) {
    throw QvError(QvErrors::ObjectMissing, what);
}

// Set when the parse on this thread met a document type declaration.
thread_local bool tDocumentTypeSeen = false;

void refuseDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*) {
    tDocumentTypeSeen = true;
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

QString libxmlError(const xmlError* e) {
    if (!e || !e->message)
        return QStringLiteral("not well-formed");
    return QStringLiteral("line %1: %2").arg(e->line).arg(QString::fromUtf8(e->message).trimmed());
}

} // namespace

// ---------------------------------------------------------------- XmlNode

void XmlNode::requireNode(const char* operation) const {
    if (!mNode)
        fail(QStringLiteral("%1 on a node that does not exist").arg(QLatin1String(operation)));
}

XmlNode::Type XmlNode::nodeType() const {
    if (!mNode)
        return Null;
    switch (mNode->type) {
    case XML_ELEMENT_NODE:
        return Element;
    case XML_ATTRIBUTE_NODE:
        return Attribute;
    case XML_TEXT_NODE:
        return Text;
    case XML_CDATA_SECTION_NODE:
        return CData;
    case XML_COMMENT_NODE:
        return Comment;
    case XML_DOCUMENT_NODE:
        return Document;
    default:
        return Null;
    }
}

QString XmlNode::nodeName() const {
    requireNode("nodeName");
    switch (mNode->type) {
    case XML_TEXT_NODE:
        return QStringLiteral("#text");
    case XML_CDATA_SECTION_NODE:
        return QStringLiteral("#cdata-section");
    case XML_COMMENT_NODE:
        return QStringLiteral("#comment");
    case XML_DOCUMENT_NODE:
        return QStringLiteral("#document");
    default:
        break;
    }
    if (mNode->ns && mNode->ns->prefix)
        return fromXml(mNode->ns->prefix) + ':' + fromXml(mNode->name);
    return fromXml(mNode->name);
}

QString XmlNode::text() const {
    requireNode("text");
    return takeXml(xmlNodeGetContent(mNode));
}

void XmlNode::setText(const QString& text) {
    requireNode("setText");
    const QByteArray utf8 = xmlSafeUtf8(text);
    if (mNode->type == XML_ATTRIBUTE_NODE) {
        auto* attr = reinterpret_cast<xmlAttrPtr>(mNode);
        xmlSetProp(attr->parent, attr->name, BAD_CAST utf8.constData());
        mHolder->notifyChanged();
        return;
    }
    // xmlNodeSetContent interprets entities; the escaped form keeps "&" and "<" literal.
    xmlChar* escaped = xmlEncodeSpecialChars(mNode->doc, BAD_CAST utf8.constData());
    xmlNodeSetContent(mNode, escaped);
    xmlFree(escaped);
    mHolder->notifyChanged();
}

QString XmlNode::xml() const {
    requireNode("xml");
    if (mNode->type == XML_DOCUMENT_NODE)
        return XmlDocument(mHolder).xml();
    xmlBufferPtr buf = xmlBufferCreate();
    if (mNode->type == XML_ATTRIBUTE_NODE) {
        auto* attr = reinterpret_cast<xmlAttrPtr>(mNode);
        xmlAttrSerializeTxtContent(buf, mNode->doc, attr, attr->children ? attr->children->content : nullptr);
        QString r = fromXml(attr->name) + "=\"" + fromXml(xmlBufferContent(buf)) + '"';
        xmlBufferFree(buf);
        return r;
    }
    xmlNodeDump(buf, mNode->doc, mNode, 0, 0);
    QString r = fromXml(xmlBufferContent(buf));
    xmlBufferFree(buf);
    return r;
}

XmlNodeList XmlNode::selectNodes(const QString& xpath) const {
    requireNode("selectNodes");
    initLibrary();
    XmlNodeList list;
    xmlXPathContextPtr ctx = xmlXPathNewContext(mNode->doc);
    if (!ctx)
        fail(QStringLiteral("XPath context could not be created"));
    ctx->node = mNode;
    const QByteArray expr = xpath.toUtf8();
    xmlXPathObjectPtr result = xmlXPathEvalExpression(BAD_CAST expr.constData(), ctx);
    if (!result) {
        xmlXPathFreeContext(ctx);
        throw QvError(QvErrors::General, QStringLiteral("invalid XPath expression: %1").arg(xpath));
    }
    if (result->type == XPATH_NODESET && result->nodesetval) {
        // Node sets come back in document order from libxml2's evaluator.
        for (int i = 0; i < result->nodesetval->nodeNr; ++i) {
            xmlNodePtr n = result->nodesetval->nodeTab[i];
            if (n->type == XML_NAMESPACE_DECL)
                continue;
            list.mNodes.push_back(XmlNode(mHolder, n));
        }
    } else if (result->type != XPATH_NODESET) {
        xmlXPathFreeObject(result);
        xmlXPathFreeContext(ctx);
        throw QvError(QvErrors::General,
                      QStringLiteral("XPath expression does not select nodes: %1").arg(xpath));
    }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(ctx);
    return list;
}

XmlNode XmlNode::selectSingleNode(const QString& xpath) const {
    XmlNodeList list = selectNodes(xpath);
    return list.length() ? list.item(0) : XmlNode();
}

std::optional<QString> XmlNode::attribute(const QString& name) const {
    requireNode("getAttribute");
    if (mNode->type != XML_ELEMENT_NODE)
        return std::nullopt;
    const QByteArray n = name.toUtf8();
    xmlAttrPtr attr = xmlHasProp(mNode, BAD_CAST n.constData());
    if (!attr)
        return std::nullopt;
    return takeXml(xmlNodeGetContent(reinterpret_cast<xmlNodePtr>(attr)));
}

QString XmlNode::requiredAttribute(const QString& name) const {
    std::optional<QString> v = attribute(name);
    if (!v)
        throw QvError(QvErrors::ObjectMissing,
                      QStringLiteral("element <%1> has no attribute \"%2\"").arg(nodeName(), name));
    return *v;
}

void XmlNode::setAttribute(const QString& name, const QString& value) {
    requireNode("setAttribute");
    if (mNode->type != XML_ELEMENT_NODE)
        fail(QStringLiteral("setAttribute on a node that is not an element"));
    const QByteArray n = name.toUtf8();
    const QByteArray v = xmlSafeUtf8(value);
    // xmlSetProp stores the value as given (no entity interpretation), creating it when absent.
    if (!xmlSetProp(mNode, BAD_CAST n.constData(), BAD_CAST v.constData()))
        throw QvError(QvErrors::General, QStringLiteral("attribute \"%1\" could not be set").arg(name));
    mHolder->notifyChanged();
}

void XmlNode::removeAttribute(const QString& name) {
    requireNode("removeAttribute");
    const QByteArray n = name.toUtf8();
    if (xmlAttrPtr attr = xmlHasProp(mNode, BAD_CAST n.constData())) {
        xmlRemoveProp(attr);
        mHolder->notifyChanged();
    }
}

QStringList XmlNode::attributeNames() const {
    requireNode("attributes");
    QStringList names;
    if (mNode->type != XML_ELEMENT_NODE)
        return names;
    for (xmlAttrPtr a = mNode->properties; a; a = a->next)
        names << fromXml(a->name);
    return names;
}

XmlNode XmlNode::parentNode() const {
    requireNode("parentNode");
    return mNode->parent ? XmlNode(mHolder, mNode->parent) : XmlNode();
}

XmlNode XmlNode::firstChild() const {
    requireNode("firstChild");
    if (mNode->type == XML_ATTRIBUTE_NODE)
        return XmlNode();
    return mNode->children ? XmlNode(mHolder, mNode->children) : XmlNode();
}

XmlNode XmlNode::lastChild() const {
    requireNode("lastChild");
    if (mNode->type == XML_ATTRIBUTE_NODE)
        return XmlNode();
    return mNode->last ? XmlNode(mHolder, mNode->last) : XmlNode();
}

XmlNode XmlNode::nextSibling() const {
    requireNode("nextSibling");
    if (mNode->type == XML_ATTRIBUTE_NODE)
        return XmlNode();
    return mNode->next ? XmlNode(mHolder, mNode->next) : XmlNode();
}

bool XmlNode::hasChildNodes() const {
    requireNode("hasChildNodes");
    return mNode->type != XML_ATTRIBUTE_NODE && mNode->children != nullptr;
}

XmlNodeList XmlNode::childNodes() const {
    requireNode("childNodes");
    XmlNodeList list;
    if (mNode->type == XML_ATTRIBUTE_NODE)
        return list;
    for (xmlNodePtr c = mNode->children; c; c = c->next)
        list.mNodes.push_back(XmlNode(mHolder, c));
    return list;
}

XmlNodeList XmlNode::childElements() const {
    requireNode("childNodes");
    XmlNodeList list;
    if (mNode->type == XML_ATTRIBUTE_NODE)
        return list;
    for (xmlNodePtr c = mNode->children; c; c = c->next) {
        if (c->type == XML_ELEMENT_NODE)
            list.mNodes.push_back(XmlNode(mHolder, c));
    }
    return list;
}

// Makes `child` insertable under this node: a node of another document is deep-copied into
// this one; a node of this document is unlinked from where it is. Checks that the insertion
// would not put a node inside itself.
xmlNodePtr XmlNode::adoptForInsert(const XmlNode& child) const {
    requireNode("appendChild");
    if (!child.mNode)
        fail(QStringLiteral("appendChild of a node that does not exist"));
    if (child.mNode->type == XML_ATTRIBUTE_NODE || child.mNode->type == XML_DOCUMENT_NODE)
        fail(QStringLiteral("this kind of node cannot be inserted as a child"));
    if (mNode->type != XML_ELEMENT_NODE && mNode->type != XML_DOCUMENT_NODE)
        fail(QStringLiteral("only elements and documents have children"));
    if (child.mHolder != mHolder || child.mNode->doc != mNode->doc) {
        xmlNodePtr copy = xmlDocCopyNode(child.mNode, mNode->doc, 1);
        if (!copy)
            fail(QStringLiteral("node could not be copied"));
        return copy;
    }
    for (xmlNodePtr p = mNode; p; p = p->parent) {
        if (p == child.mNode)
            throw QvError(QvErrors::General, QStringLiteral("a node cannot be inserted into itself"));
    }
    xmlUnlinkNode(child.mNode);
    mHolder->detached.erase(child.mNode);
    return child.mNode;
}

XmlNode XmlNode::appendChild(const XmlNode& child) {
    xmlNodePtr n = adoptForInsert(child);
    if (mNode->type == XML_DOCUMENT_NODE && n->type == XML_ELEMENT_NODE) {
        if (xmlDocGetRootElement(reinterpret_cast<xmlDocPtr>(mNode)))
            throw QvError(QvErrors::General, QStringLiteral("the document already has a document element"));
    }
    // xmlAddChild merges adjacent text nodes and may free `n`; the returned pointer is the survivor.
    xmlNodePtr placed = xmlAddChild(mNode, n);
    if (!placed)
        fail(QStringLiteral("appendChild failed"));
    mHolder->notifyChanged();
    return XmlNode(mHolder, placed);
}

XmlNode XmlNode::insertBefore(const XmlNode& child, const XmlNode& reference) {
    if (reference.isNull())
        return appendChild(child);
    requireNode("insertBefore");
    if (reference.mNode->parent != mNode)
        fail(QStringLiteral("insertBefore: the reference node is not a child of this node"));
    if (reference.mNode == child.mNode)
        return child;
    xmlNodePtr n = adoptForInsert(child);
    xmlNodePtr placed = xmlAddPrevSibling(reference.mNode, n);
    if (!placed)
        fail(QStringLiteral("insertBefore failed"));
    mHolder->notifyChanged();
    return XmlNode(mHolder, placed);
}

XmlNode XmlNode::replaceChild(const XmlNode& newChild, const XmlNode& oldChild) {
    requireNode("replaceChild");
    if (oldChild.isNull() || oldChild.mNode->parent != mNode)
        fail(QStringLiteral("replaceChild: the old node is not a child of this node"));
    if (newChild.mNode == oldChild.mNode)
        return oldChild;
    xmlNodePtr n = adoptForInsert(newChild);
    xmlAddPrevSibling(oldChild.mNode, n);
    xmlUnlinkNode(oldChild.mNode);
    mHolder->detached.insert(oldChild.mNode);
    mHolder->notifyChanged();
    return oldChild;
}

XmlNode XmlNode::removeChild(const XmlNode& child) {
    requireNode("removeChild");
    if (child.isNull() || child.mNode->parent != mNode || child.mNode->type == XML_ATTRIBUTE_NODE)
        fail(QStringLiteral("removeChild: the node is not a child of this node"));
    xmlUnlinkNode(child.mNode);
    mHolder->detached.insert(child.mNode);
    mHolder->notifyChanged();
    return child;
}

XmlNode XmlNode::cloneNode(bool deep) const {
    requireNode("cloneNode");
    if (mNode->type == XML_DOCUMENT_NODE || mNode->type == XML_ATTRIBUTE_NODE)
        fail(QStringLiteral("cloneNode of this kind of node is not supported"));
    xmlNodePtr copy = xmlDocCopyNode(mNode, mNode->doc, deep ? 1 : 2);
    if (!copy)
        fail(QStringLiteral("cloneNode failed"));
    mHolder->detached.insert(copy);
    return XmlNode(mHolder, copy);
}

XmlDocument XmlNode::ownerDocument() const {
    requireNode("ownerDocument");
    return XmlDocument(mHolder);
}

XmlNode XmlNodeList::item(int index) const {
    if (index < 0 || index >= length())
        return XmlNode();
    return mNodes[size_t(index)];
}

// ---------------------------------------------------------------- XmlDocument

XmlDocument::XmlDocument() {
    initLibrary();
    mHolder = std::make_shared<XmlDocHolder>();
}

bool XmlDocument::loadXML(const QString& text) {
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1).isNull())
        --n;
    return loadXMLUtf8(QStringView(text).left(n).toUtf8());
}

bool XmlDocument::loadXMLUtf8(const QByteArray& utf8) {
    initLibrary();
    qsizetype n = utf8.size();
    while (n > 0 && utf8.at(n - 1) == '\0')
        --n;
    QString why;
    xmlDocPtr doc = nullptr;
    if (n > std::numeric_limits<int>::max()) {
        why = QStringLiteral("the text is too long");
    } else {
        xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
        if (!ctxt) {
            why = QStringLiteral("out of memory");
        } else {
            // A document type declaration is where entities are declared; refusing it stops the
            // parse before any of them can be expanded (or fetched) and keeps every document in
            // plain elements, attributes and text.
            ctxt->sax->internalSubset = refuseDocumentType;
            ctxt->sax->externalSubset = refuseDocumentType;
            tDocumentTypeSeen = false;
            // libxml2's own limits (depth, text and name lengths, entity amplification) stay on.
            doc = xmlCtxtReadMemory(ctxt, utf8.constData(), int(n), nullptr, "UTF-8",
                                    XML_PARSE_NONET | XML_PARSE_NOBLANKS | XML_PARSE_NOERROR |
                                        XML_PARSE_NOWARNING);
            if (tDocumentTypeSeen) {
                why = QStringLiteral("the text has a document type declaration (<!DOCTYPE>), which is not "
                                     "accepted");
            } else if (!doc || !xmlDocGetRootElement(doc)) {
                why = libxmlError(xmlCtxtGetLastError(ctxt));
            }
            xmlFreeParserCtxt(ctxt);
        }
    }
    if (!why.isEmpty()) {
        if (doc)
            xmlFreeDoc(doc);
        // A new holder: handles to nodes of the old content stay valid and keep the old tree.
        auto empty = std::make_shared<XmlDocHolder>();
        empty->parseError = why;
        empty->documentTypeRefused = tDocumentTypeSeen;
        replaceHolder(std::move(empty));
        return false;
    }
    replaceHolder(std::make_shared<XmlDocHolder>(doc));
    return true;
}

void XmlDocument::replaceHolder(std::shared_ptr<XmlDocHolder> holder) {
    // New content is a change of this document; the old tree no longer reports its edits.
    holder->changed = std::move(mHolder->changed);
    mHolder->changed = nullptr;
    mHolder = std::move(holder);
    mHolder->notifyChanged();
}

void XmlDocument::setChangeHandler(std::function<void()> handler) {
    mHolder->changed = std::move(handler);
}

QString XmlDocument::parseError() const {
    return mHolder->parseError;
}

bool XmlDocument::refusedDocumentType() const {
    return mHolder->documentTypeRefused;
}

bool XmlDocument::isEmpty() const {
    return xmlDocGetRootElement(mHolder->doc) == nullptr;
}

QByteArray XmlDocument::xmlUtf8() const {
    // Serialised without the declaration: the text is handed on as characters, so a
    // declared encoding could only mislead whoever reads it next.
    QByteArray out;
    for (xmlNodePtr c = mHolder->doc->children; c; c = c->next) {
        xmlBufferPtr buf = xmlBufferCreate();
        xmlNodeDump(buf, mHolder->doc, c, 0, 0);
        out.append(reinterpret_cast<const char*>(xmlBufferContent(buf)), xmlBufferLength(buf));
        xmlBufferFree(buf);
    }
    return out;
}

QString XmlDocument::xml() const {
    return QString::fromUtf8(xmlUtf8());
}

void XmlDocument::save(const QString& path) const {
    modSafeFile::WriteFileAtomically(path, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + xmlUtf8() + "\n");
}

XmlNode XmlDocument::documentElement() const {
    xmlNodePtr root = xmlDocGetRootElement(mHolder->doc);
    return root ? XmlNode(mHolder, root) : XmlNode();
}

XmlNode XmlDocument::asNode() const {
    return XmlNode(mHolder, reinterpret_cast<xmlNodePtr>(mHolder->doc));
}

XmlNode XmlDocument::createElement(const QString& name) {
    const QByteArray n = name.toUtf8();
    if (xmlValidateName(BAD_CAST n.constData(), 0) != 0)
        throw QvError(QvErrors::General, QStringLiteral("\"%1\" is not a valid element name").arg(name));
    xmlNodePtr e = xmlNewDocNode(mHolder->doc, nullptr, BAD_CAST n.constData(), nullptr);
    mHolder->detached.insert(e);
    return XmlNode(mHolder, e);
}

XmlNode XmlDocument::createTextNode(const QString& text) {
    const QByteArray t = xmlSafeUtf8(text);
    xmlNodePtr e = xmlNewDocText(mHolder->doc, BAD_CAST t.constData());
    mHolder->detached.insert(e);
    return XmlNode(mHolder, e);
}

void XmlDocument::transformNodeToObject(const XmlDocument& stylesheet, XmlDocument& result) const {
    initLibrary();
    // The stylesheet object takes ownership of the document it is built from: give it a copy.
    xmlDocPtr styleCopy = xmlCopyDoc(stylesheet.mHolder->doc, 1);
    xsltStylesheetPtr style = styleCopy ? xsltParseStylesheetDoc(styleCopy) : nullptr;
    if (!style) {
        if (styleCopy)
            xmlFreeDoc(styleCopy);
        throw QvError(QvErrors::General,
                      QStringLiteral("the stylesheet is not a usable XSLT 1.0 stylesheet"));
    }
    xmlDocPtr out = xsltApplyStylesheet(style, mHolder->doc, nullptr);
    xsltFreeStylesheet(style);
    if (!out)
        throw QvError(QvErrors::General, QStringLiteral("the XSLT transformation failed"));
    result.replaceHolder(std::make_shared<XmlDocHolder>(out));
}

QString XPathLiteral(const QString& value) {
    if (!value.contains('\''))
        return '\'' + value + '\'';
    if (!value.contains('"'))
        return '"' + value + '"';
    // Both quote kinds: concat('it', "'", 's "x"')
    QStringList parts;
    const QStringList pieces = value.split('\'');
    for (int i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            parts << QStringLiteral("\"'\"");
        if (!pieces[i].isEmpty())
            parts << '\'' + pieces[i] + '\'';
    }
    return parts.size() == 1 ? parts.first() : QStringLiteral("concat(%1)").arg(parts.join(','));
}
