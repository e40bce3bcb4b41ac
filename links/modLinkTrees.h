#pragma once
#include "core/QvError.h"
#include "core/XmlDocument.h"

#include <QString>
#include <QVariant>

#include <exception>

class QTreeWidgetItem;

// What the navigation and entertainment trees share.
namespace modLinkTrees {

// Icons of layout nodes without an icon of their own.
constexpr int FolderIcon = 101;
constexpr int TopLevelSiteIcon = 100;
constexpr int NestedSiteIcon = 800;

// A layout element as a node's tag, and back (a null node for any other tag).
QVariant ElementTag(const XmlNode& element);
XmlNode TagElement(const QTreeWidgetItem* node);

// An icon number attribute: empty or absent gives `fallback`.
int IconNumber(const QString& text, int fallback);
// The Boolean texts of the layout: "1"/"0", "true"/"false" (any case) and other whole numbers
// (non-zero is true). Throws QvError (type mismatch) for anything else.
bool ParseBoolean(const QString& text);

// Writes "Error <number> (<description>) in 过程 <procedure> of <module>" to the developer log
// when developer mode is on; never throws.
void ReportError(int number, const QString& description, const QString& procedure, const QString& module);

// Runs the work of a tree event: an error ends the event and is reported, and the tree stays
// usable.
template <typename Work> void Trapped(const char* procedure, const char* module, Work work) {
    try {
        work();
    } catch (const QvError& e) {
        ReportError(e.number(), e.description(), QString::fromLatin1(procedure), QString::fromLatin1(module));
    } catch (const std::exception& e) {
        ReportError(QvErrors::General, QString::fromLocal8Bit(e.what()), QString::fromLatin1(procedure),
                    QString::fromLatin1(module));
    }
}

} // namespace modLinkTrees
