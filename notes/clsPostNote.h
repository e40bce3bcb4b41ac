#pragma once
#include "core/XmlDocument.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

class clsPostNotes;
class frmPostNote;

// One sticky note: a thin record over its `postnote` element in the user data. Every property
// reads its attribute at each call, and every write changes the loaded document at once; writing
// does not save the file (the collection's RequestSave does).
class clsPostNote : public QObject {
    Q_OBJECT
public:
    explicit clsPostNote(QObject* parent = nullptr);
    ~clsPostNote() override;

    // Binds the record to its `postnote` element.
    void Load(const XmlNode& element);
    XmlNode XMLNode() const { return mNode; }

    // The id; 0 when the attribute holds no positive decimal number that fits 32 bits.
    qint32 psID() const;
    void setPsID(qint32 id);
    QString CreateTime() const;
    void setCreateTime(const QString& text);
    // "1" while the note's window is open, "0" while it is hidden.
    QString Visible() const;
    void setVisible(const QString& text);
    // Visible read as a number: true for 1, false for anything else (0, empty, not a number).
    bool IsVisible() const;

    // Last window position and size in twips; an empty or non-numeric attribute reads 0.
    qint32 Top() const;
    void setTop(qint32 value);
    qint32 Left() const;
    void setLeft(qint32 value);
    qint32 Width() const;
    void setWidth(qint32 value);
    qint32 Height() const;
    void setHeight(qint32 value);
    // The four as one rectangle in twips, and whether they describe a window at all (all four
    // numeric, width and height positive).
    QRect GeometryTwips() const;
    bool HasGeometry() const;

    // The element's own text content.
    QString Text() const;
    void setText(const QString& text);

    clsPostNotes* Parent = nullptr;
    // The note's open window, or none.
    QPointer<frmPostNote> FormHandle;
    // Set by AddNew until the note's first window has loaded: that window takes the default place.
    bool IsNew = false;

    // Opens the note's window, or raises it when it is open; marks the note visible.
    void Show();
    // Marks the note hidden and closes its window (which saves as it closes).
    void Hide();
    // Closes the window when open, removes the element from the document and the note from the
    // collection, and saves. The record is released afterwards.
    void Delete();

    // The number an attribute holds: a decimal integer (optionally signed, blanks around it
    // allowed) that fits 32 bits. False for anything else, `value` then untouched.
    static bool ParseNumber(const QString& text, qint32* value);

private:
    qint32 number(const char* attribute) const;
    void setAttribute(const char* attribute, const QString& value);
    void changed();

    XmlNode mNode;
};
