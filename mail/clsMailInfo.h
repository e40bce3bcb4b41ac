#pragma once
#include "core/XmlDocument.h"
#include "mail/clsMailBoxInfos.h"

#include <memory>

class clsCommonData;

// The mail section of the common data (the `mailinfo` element). Read only: nothing here
// changes the common data.
class clsMailInfo {
public:
    clsCommonData* Parent = nullptr;

    // A null element (a common data without the section) reads as an empty catalogue.
    void Load(const XmlNode& node);
    XmlNode XMLNode() const { return mNode; }

    // The service list, made from the `mailboxinfos` child on the first request and kept.
    clsMailBoxInfos* MailboxInfos();

private:
    XmlNode mNode;
    std::unique_ptr<clsMailBoxInfos> mMailboxInfos;
};

// The mail catalogue of a common data store: created from the store's `mailinfo` section on the
// first call, the same object on every later call while the store keeps that document (a
// reloaded store gets a fresh one). Null for a null store.
clsMailInfo* MailInfoOf(clsCommonData* common);
// The mail catalogue of the program's common data; null when there is no data hub.
clsMailInfo* ProgramMailInfo();
