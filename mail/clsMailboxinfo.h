#pragma once
#include "core/XmlDocument.h"

#include <QString>

class clsMailBoxInfos;

// One web-mail service of the catalogue: a `mailboxinfo` element, which is at the same time the
// service's complete link descriptor. The properties read the element at each call.
class clsMailboxinfo {
public:
    clsMailBoxInfos* Parent = nullptr;

    void Load(const XmlNode& node) { mNode = node; }
    XmlNode XMLNode() const { return mNode; }

    // The image number shown beside the name (attribute `iconno`).
    QString IconNo() const { return mNode.getAttribute(QStringLiteral("iconno")); }
    // The display name (attribute `name`).
    QString MailBoxName() const { return mNode.getAttribute(QStringLiteral("name")); }
    // The service id in decimal (attribute `id`).
    QString MailBoxID() const { return mNode.getAttribute(QStringLiteral("id")); }

private:
    XmlNode mNode;
};
