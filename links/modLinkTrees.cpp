#include "links/modLinkTrees.h"

#include "controls/TreeView.h"
#include "core/QvError.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"

#include <exception>

namespace modLinkTrees {

QVariant ElementTag(const XmlNode& element) {
    return QVariant::fromValue(element);
}

XmlNode TagElement(const QTreeWidgetItem* node) {
    const QVariant tag = TreeView::Tag(node);
    return tag.canConvert<XmlNode>() ? tag.value<XmlNode>() : XmlNode();
}

int IconNumber(const QString& text, int fallback) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return fallback;
    bool ok = false;
    const int number = trimmed.toInt(&ok);
    return ok ? number : fallback;
}

bool ParseBoolean(const QString& text) {
    const QString value = text.trimmed();
    if (value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (value.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const long long number = value.toLongLong(&ok);
    if (!ok)
        throw QvError(QvErrors::TypeMismatch, QStringLiteral("\"%1\" is not a Boolean").arg(text));
    return number != 0;
}

void ReportError(int number, const QString& description, const QString& procedure, const QString& module) {
    if (!modInitial::gIsDevelopMode)
        return;
    modDevelopeFunction::WriteLog(
        QStringLiteral("Error %1 (%2) in 过程 %3 of %4").arg(number).arg(description, procedure, module));
}

} // namespace modLinkTrees
