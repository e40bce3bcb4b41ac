#include "links/clsLinks.h"

#include "core/QvError.h"
#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/modInitial.h"

#include <memory>
#include <unordered_map>

void clsLinks::Load(const XmlNode& linksNode) {
    mNode = linksNode;
}

void clsLinks::requireSection() const {
    if (mNode.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the common data has no <links> section"));
}

clsLink clsLinks::getLinkById(const QString& id) const {
    requireSection();
    // The id is quoted as an XPath literal: ids are data, and a quote in one must not change the
    // selection.
    const XmlNode node =
        mNode.selectSingleNode(QStringLiteral("link[@id=") + XPathLiteral(id) + QLatin1Char(']'));
    if (node.isNull())
        throw QvError(QvErrors::ObjectMissing,
                      QStringLiteral("no link with id \"%1\" in the catalogue").arg(id));
    clsLink link;
    link.Load(node);
    return link;
}

clsLink clsLinks::getLinkByNode(const XmlNode& node) const {
    clsLink link;
    link.Load(node);
    return link;
}

XmlNodeList clsLinks::getLinksXMLNodeListByCategory(const QString& strCategory) const {
    requireSection();
    return mNode.selectNodes(QStringLiteral("link[@category=") + XPathLiteral(strCategory) +
                             QLatin1Char(']'));
}

clsLinks* LinksOf(clsCommonData* common) {
    if (!common)
        return nullptr;
    // One catalogue per store. The kept section node holds its document, so a store that was
    // reloaded (or a new store at the address of a released one) never matches an old entry.
    static std::unordered_map<const clsCommonData*, std::unique_ptr<clsLinks>> catalogues;
    const XmlNode section =
        common->XMLNode.isNull() ? XmlNode() : common->XMLNode.selectSingleNode(QStringLiteral("links"));
    auto& entry = catalogues[common];
    if (!entry || entry->XMLNode() != section || entry->Parent != common) {
        entry = std::make_unique<clsLinks>();
        entry->Parent = common;
        entry->Load(section);
    }
    return entry.get();
}

clsLinks* ProgramLinks() {
    return modInitial::gData ? LinksOf(modInitial::gData->CommonData()) : nullptr;
}
