#pragma once
#include "core/XmlDocument.h"
#include "mail/clsMailboxinfo.h"

#include <QString>
#include <Qt>

class QComboBox;
class clsMailInfo;

// The list of web-mail services (the `mailboxinfos` element), in display order. Only
// `mailboxinfo` children count as services: a comment in the section is no service.
class clsMailBoxInfos {
public:
    // The item role of the service box that holds each item's markup; the item data
    // (Qt::UserRole) hold the service id.
    static constexpr int MarkupRole = Qt::UserRole + 1;

    clsMailInfo* Parent = nullptr;

    // A null element reads as an empty list.
    void Load(const XmlNode& node) { mNode = node; }
    XmlNode XMLNode() const { return mNode; }

    int Count() const;
    // A new wrapper over the service at the 1-based position, its Parent set to this list;
    // throws QvError for a position outside 1..Count.
    clsMailboxinfo Item(int vntIndexKey) const;
    // "name|id" of every service in order, joined with ","; empty when there is none.
    QString MailboxList() const;
    // The service element whose id is `CMailboxID`, or a null node.
    XmlNode getCMailboxInfoNodeByID(int CMailboxID) const;
    // Replaces the box's items with one markup item per service: the icon beside the name, the
    // markup under MarkupRole and the service id as the item data. A service whose id is not a
    // whole number cannot be looked up and is left out.
    void MailboxInfoBindToSuiteComboboxControlByMarkup(QComboBox* box) const;

    // The markup of a service's item in the service box.
    static QString ItemMarkup(const clsMailboxinfo& info);

private:
    XmlNodeList services() const;

    XmlNode mNode;
};
