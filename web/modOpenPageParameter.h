#pragma once
#include "core/XmlDocument.h"

#include <QString>

// Link descriptors: helpers on the method element and its `par` children.
namespace modOpenPageParameter {

// The method child of a descriptor that its `openmethod` names ("1" get, "2" post, "3" middle);
// throws QvError when the method is unknown or the child is missing.
XmlNode MethodElement(const XmlNode& descriptor);
// name=prefix+value+suffix for each `par` in document order, joined with "&", nothing escaped;
// throws QvError for a `par` without one of its four attributes.
QString BuildParameterString(const XmlNode& methodElement);
// Writes `value` into the `value` of the first `par` named `name` in the descriptor's method
// element; throws QvError when no `par` has that name. Returns true.
bool SetPageParameter(const QString& name, const QString& value, XmlNode descriptor);
// "0"/"1"/any number, "true"/"false" in any case; throws QvError (type mismatch) otherwise.
bool ReadBoolean(const QString& text);

} // namespace modOpenPageParameter
