#pragma once
#include "core/XmlDocument.h"
#include "links/clsLink.h"

#include <QString>

class clsCommonData;

// The link catalogue: the `links` section of the common data. Every site the navigation trees,
// the web panes, the community panel and the application buttons open is defined once here and
// found by its id or its category key (compared exactly, case included).
class clsLinks {
public:
    clsCommonData* Parent = nullptr;

    void Load(const XmlNode& linksNode);
    XmlNode XMLNode() const { return mNode; }

    // A new link over the first `link` whose id equals `id`. Throws QvError when no link has
    // that id (or the catalogue has no section).
    clsLink getLinkById(const QString& id) const;
    // A new link over the given element (throws as clsLink::Load does).
    clsLink getLinkByNode(const XmlNode& node) const;
    // The `link` elements of the category in document order; empty when none carries it.
    XmlNodeList getLinksXMLNodeListByCategory(const QString& strCategory) const;

private:
    void requireSection() const;

    XmlNode mNode;
};

// The catalogue of a common data store: created and loaded with the store's `links` section on
// the first call, the same object on every later call while the store keeps that document (a
// reloaded store gets a fresh catalogue). Null for a null store.
clsLinks* LinksOf(clsCommonData* common);
// The catalogue of the program's common data; null when there is no data hub.
clsLinks* ProgramLinks();
