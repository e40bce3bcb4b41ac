#include "links/clsLinks.h"

#include "core/QvError.h"
#include "core/clsCommonData.h"
#include "core/clsData.h"
#include "core/modInitial.h"

#include <memory>
#include <unordered_map>

void clsLinks::Load(const XmlNode& linksNode) {
    mNode = linksNode;
    mById.clear();
    mIndexed = false;
}

void clsLinks::requireSection() const {
    if (mNode.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the common data has no <links> section"));
}

clsLink clsLinks::getLinkById(const QString& id) const {
    requireSection();
    if (!mIndexed) {
        mIndexed = true;
        for (const XmlNode& link : mNode.childElements()) {
            if (link.nodeName() != QLatin1String("link"))
                continue;
            const std::optional<QString> linkId = link.attribute(QStringLiteral("id"));
            if (linkId && !mById.contains(*linkId))
                mById.insert(*linkId, link);
        }
    }
    XmlNode node;
    const auto known = mById.constFind(id);
    // The index holds the links as they were; a link found there is checked to be one still.
    if (known != mById.constEnd() && known->parentNode() == mNode &&
        known->getAttribute(QStringLiteral("id")) == id)
        node = *known;
    else
        // The id is quoted as an XPath literal: ids are data, and a quote in one must not change
        // the selection.
        node = mNode.selectSingleNode(QStringLiteral("link[@id=") + XPathLiteral(id) + QLatin1Char(']'));
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
    // One catalogue per store and document. The kept root element holds its document, so a store
    // that was reloaded (or a new store at the address of a released one) never matches an old
    // entry.
    struct Entry {
        XmlNode root;
        std::unique_ptr<clsLinks> links;
    };
    static std::unordered_map<const clsCommonData*, Entry> catalogues;
    Entry& entry = catalogues[common];
    if (!entry.links || entry.root != common->XMLNode) {
        entry.root = common->XMLNode;
        entry.links = std::make_unique<clsLinks>();
        entry.links->Parent = common;
        entry.links->Load(
            common->XMLNode.isNull() ? XmlNode() : common->XMLNode.selectSingleNode(QStringLiteral("links")));
    }
    return entry.links.get();
}

clsLinks* ProgramLinks() {
    return modInitial::gData ? LinksOf(modInitial::gData->CommonData()) : nullptr;
}
