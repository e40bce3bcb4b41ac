#include "recent/clsExtCollection.h"

#include "core/QvError.h"

namespace {
[[noreturn]] void noCurrentRow() {
    throw QvError(QvErrors::ObjectMissing, QStringLiteral("clsExtCollection has no current row"));
}
} // namespace

clsExtCollection::clsExtCollection() {
    mRoot = mDocument.appendChild(mDocument.createElement(QStringLiteral("root")));
}

void clsExtCollection::Add() {
    mCurrent = mRoot.appendChild(mDocument.createElement(QStringLiteral("cnode")));
}

void clsExtCollection::SetAttribute(const QString& AttriName, const QString& AttriValue) {
    if (mCurrent.isNull())
        noCurrentRow();
    mCurrent.setAttribute(AttriName, AttriValue);
}

QString clsExtCollection::GetAttribute(const QString& AttriName) const {
    if (mCurrent.isNull())
        noCurrentRow();
    return mCurrent.getAttribute(AttriName);
}

bool clsExtCollection::Exists(const QString& AttriName, const QString& AttriValue) {
    // The value is quoted as an XPath literal: folder paths may hold either quote kind.
    const XmlNode found = mRoot.selectSingleNode(QStringLiteral("cnode[@") + AttriName + QLatin1Char('=') +
                                                 XPathLiteral(AttriValue) + QLatin1Char(']'));
    if (found.isNull())
        return false;
    mCurrent = found;
    return true;
}
