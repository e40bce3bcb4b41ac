#pragma once
#include "core/XmlDocument.h"

#include <QString>

// One link of the catalogue: the fields read from its element, and the element itself, which
// stays part of the common data document (only Clone makes a copy).
class clsLink {
public:
    // Read by Load from the attributes of the same names; never written back.
    QString Id;                // id
    QString Caption;           // caption
    QString Tip;               // tip
    QString DefaultOpenMethod; // openmethod
    QString IconNum;           // iconno

    // Keeps the element and reads the five fields. Throws QvError for a null element or an
    // element without one of id, caption, tip, openmethod, iconno.
    void Load(const XmlNode& node);
    XmlNode XMLNode() const { return mNode; }

    // Opens the link as a new browser window through the page opener.
    void OpenWebPage() const;

    // The plain address of the link: the url attribute of its get element. Throws QvError when
    // the link has no get element or that element has no url.
    QString UrlGetNode() const;
    // Changes that address in the loaded document (throws as the read does when there is no get).
    void setUrlGetNode(const QString& url);

    // A link over a deep copy of the element that belongs to no parent: changing it leaves the
    // catalogue as it is.
    clsLink Clone() const;

private:
    XmlNode getElement() const;

    XmlNode mNode;
};
