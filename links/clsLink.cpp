#include "links/clsLink.h"

#include "core/QvError.h"
#include "web/cltWebPage.h"

void clsLink::Load(const XmlNode& node) {
    if (node.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("no link element to load"));
    // Read everything before anything is kept, so a failed load leaves the object as it was.
    const QString id = node.requiredAttribute(QStringLiteral("id"));
    const QString caption = node.requiredAttribute(QStringLiteral("caption"));
    const QString tip = node.requiredAttribute(QStringLiteral("tip"));
    const QString openmethod = node.requiredAttribute(QStringLiteral("openmethod"));
    const QString iconno = node.requiredAttribute(QStringLiteral("iconno"));
    mNode = node;
    Id = id;
    Caption = caption;
    Tip = tip;
    DefaultOpenMethod = openmethod;
    IconNum = iconno;
}

void clsLink::OpenWebPage() const {
    if (mNode.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the link is not loaded"));
    cltWebPage::Global()->OpenWebPageAsNode(mNode);
}

XmlNode clsLink::getElement() const {
    if (mNode.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the link is not loaded"));
    const XmlNode get = mNode.selectSingleNode(QStringLiteral("get"));
    if (get.isNull())
        throw QvError(
            QvErrors::ObjectMissing,
            QStringLiteral("link %1 has no <get> element").arg(Id.isEmpty() ? QStringLiteral("?") : Id));
    return get;
}

QString clsLink::UrlGetNode() const {
    return getElement().requiredAttribute(QStringLiteral("url"));
}

void clsLink::setUrlGetNode(const QString& url) {
    getElement().setAttribute(QStringLiteral("url"), url);
}

clsLink clsLink::Clone() const {
    if (mNode.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the link is not loaded"));
    clsLink copy;
    copy.Load(mNode.cloneNode(true));
    return copy;
}
