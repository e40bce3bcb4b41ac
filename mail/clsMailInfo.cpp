#include "mail/clsMailInfo.h"

#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/modInitial.h"

#include <unordered_map>

void clsMailInfo::Load(const XmlNode& node) {
    mNode = node;
    mMailboxInfos.reset();
}

clsMailBoxInfos* clsMailInfo::MailboxInfos() {
    if (!mMailboxInfos) {
        mMailboxInfos = std::make_unique<clsMailBoxInfos>();
        mMailboxInfos->Parent = this;
        mMailboxInfos->Load(mNode.isNull() ? XmlNode()
                                           : mNode.selectSingleNode(QStringLiteral("mailboxinfos")));
    }
    return mMailboxInfos.get();
}

clsMailInfo* MailInfoOf(clsCommonData* common) {
    if (!common)
        return nullptr;
    // One catalogue per store and document. The kept root element holds its document, so a store
    // that was reloaded (or a new store at the address of a released one) never matches an old
    // entry.
    struct Entry {
        XmlNode root;
        std::unique_ptr<clsMailInfo> info;
    };
    static std::unordered_map<const clsCommonData*, Entry> catalogues;
    Entry& entry = catalogues[common];
    if (!entry.info || entry.root != common->XMLNode) {
        entry.root = common->XMLNode;
        entry.info = std::make_unique<clsMailInfo>();
        entry.info->Parent = common;
        entry.info->Load(common->XMLNode.isNull()
                             ? XmlNode()
                             : common->XMLNode.selectSingleNode(QStringLiteral("mailinfo")));
    }
    return entry.info.get();
}

clsMailInfo* ProgramMailInfo() {
    return modInitial::gData ? MailInfoOf(modInitial::gData->CommonData()) : nullptr;
}
