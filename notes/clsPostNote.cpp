#include "notes/clsPostNote.h"

#include "notes/clsPostNotes.h"
#include "notes/frmPostNote.h"

clsPostNote::clsPostNote(QObject* parent) : QObject(parent) {}

clsPostNote::~clsPostNote() {
    // A window outliving its record has nothing left to write into.
    if (FormHandle)
        FormHandle->ReleaseNote();
}

void clsPostNote::Load(const XmlNode& element) {
    mNode = element;
}

bool clsPostNote::ParseNumber(const QString& text, qint32* value) {
    bool ok = false;
    const qint32 parsed = text.trimmed().toInt(&ok, 10);
    if (ok && value)
        *value = parsed;
    return ok;
}

qint32 clsPostNote::number(const char* attribute) const {
    qint32 value = 0;
    return ParseNumber(mNode.getAttribute(QLatin1String(attribute)), &value) ? value : 0;
}

void clsPostNote::setAttribute(const char* attribute, const QString& value) {
    mNode.setAttribute(QLatin1String(attribute), value);
}

qint32 clsPostNote::psID() const {
    const QString text = mNode.getAttribute(QStringLiteral("psid"));
    qint32 id = 0;
    // Only the plain form counts as an id: "007" or " 7" would make a second key for note 7.
    if (!ParseNumber(text, &id) || id <= 0 || QString::number(id) != text)
        return 0;
    return id;
}

void clsPostNote::setPsID(qint32 id) {
    setAttribute("psid", QString::number(id));
}

QString clsPostNote::CreateTime() const {
    return mNode.getAttribute(QStringLiteral("createtime"));
}

void clsPostNote::setCreateTime(const QString& text) {
    setAttribute("createtime", text);
}

QString clsPostNote::Visible() const {
    return mNode.getAttribute(QStringLiteral("visible"));
}

void clsPostNote::setVisible(const QString& text) {
    setAttribute("visible", text);
}

bool clsPostNote::IsVisible() const {
    qint32 value = 0;
    return ParseNumber(Visible(), &value) && value == 1;
}

qint32 clsPostNote::Top() const {
    return number("top");
}
void clsPostNote::setTop(qint32 value) {
    setAttribute("top", QString::number(value));
}
qint32 clsPostNote::Left() const {
    return number("left");
}
void clsPostNote::setLeft(qint32 value) {
    setAttribute("left", QString::number(value));
}
qint32 clsPostNote::Width() const {
    return number("width");
}
void clsPostNote::setWidth(qint32 value) {
    setAttribute("width", QString::number(value));
}
qint32 clsPostNote::Height() const {
    return number("height");
}
void clsPostNote::setHeight(qint32 value) {
    setAttribute("height", QString::number(value));
}

QRect clsPostNote::GeometryTwips() const {
    return QRect(Left(), Top(), Width(), Height());
}

bool clsPostNote::HasGeometry() const {
    for (const char* name : {"top", "left", "width", "height"}) {
        if (!ParseNumber(mNode.getAttribute(QLatin1String(name)), nullptr))
            return false;
    }
    return Width() > 0 && Height() > 0;
}

QString clsPostNote::Text() const {
    return mNode.text();
}

void clsPostNote::setText(const QString& text) {
    mNode.setText(text);
}

void clsPostNote::changed() {
    if (Parent)
        Parent->RequestSave();
}

void clsPostNote::Show() {
    if (FormHandle) {
        // Already open: bring it to the top of the always-on-top band where it stands.
        FormHandle->show();
        FormHandle->raise();
    } else {
        // A new note takes the keyboard at once; notes reopened at start-up leave it where it is.
        const bool fresh = IsNew;
        auto* window = new frmPostNote(this);
        window->show();
        if (fresh) {
            window->raise();
            window->activateWindow();
        }
    }
    if (!IsVisible()) {
        setVisible(QStringLiteral("1"));
        changed();
    }
}

void clsPostNote::Hide() {
    if (Visible() != QLatin1String("0")) {
        setVisible(QStringLiteral("0"));
        changed();
    }
    // The window writes its geometry and flushes the save as it closes.
    if (FormHandle)
        FormHandle->Unload(frmPostNote::UnloadByCode);
}

void clsPostNote::Delete() {
    if (FormHandle || IsVisible())
        Hide();
    XmlNode parent = mNode.parentNode();
    if (!parent.isNull())
        parent.removeChild(mNode);
    if (clsPostNotes* notes = Parent) {
        notes->RemoveNote(this);
        notes->RequestSave();
        notes->FlushSave();
    }
    Parent = nullptr;
    deleteLater();
}
