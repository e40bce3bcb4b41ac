#pragma once
#include "core/XmlDocument.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class CommandBar;
class CommandBarControl;
class CommandBars;
class SaveThrottle;
class clsPostNote;
class clsUserData;

// The sticky notes of the user data's `postnotes` section, in creation order, keyed by the
// decimal text of their ids; the notes entry of the main window's toolbar with its drop-down;
// and the saving of the user data whenever a note changes.
//
// Ids. A new note takes the last note's id plus one, as long as that id is free and at most
// 32767; otherwise the next free id counting up from there, going round to 1 after 32767. Ids
// already in the file are kept as they are when they are plain positive decimal numbers that fit
// 32 bits and no earlier note has them; a note with any other id (empty, not a number, zero or
// negative, leading zeros, beyond 32 bits, or a duplicate) is given a fresh id on loading, so
// that every note is listed and none is taken for another. The new id reaches the file with the
// next save.
//
// Saving. Every change of a note asks for a save; the user data file is written at most every
// 200 ms (the first change after a quiet spell at once, the rest gathered into one write at the
// end of the interval), and whatever is pending is written before a note window closes and when
// the program ends. A failed save is reported once until a save succeeds again.
class clsPostNotes : public QObject {
    Q_OBJECT
public:
    explicit clsPostNotes(clsUserData* parent = nullptr);
    ~clsPostNotes() override;

    clsUserData* Parent = nullptr;
    // The `postnotes` element.
    XmlNode XMLNode;

    // Builds the collection from the `postnote` children of the section (other children are
    // left alone). Notes without an attribute of the template get it, empty ("0" for visible).
    void Load(const XmlNode& section);

    // Adds a note under `key`; an empty key adds it without one. Throws QvError when the key is
    // taken.
    void Add(clsPostNote* note, const QString& key);
    int Count() const { return int(mNotes.size()); }
    // Zero-based position or key; throws QvError when there is no such note.
    clsPostNote* GetPostNote(int index) const;
    clsPostNote* GetPostNote(const QString& key) const;
    // The note under `key`, or nullptr.
    clsPostNote* Find(const QString& key) const;
    // Takes a note out of the collection (not out of the document); throws QvError when there is
    // no such note.
    void Remove(int index);
    void Remove(const QString& key);
    // Takes the note out wherever it is; nothing when it is not in the collection.
    void RemoveNote(clsPostNote* note);
    // The notes in collection order.
    QList<clsPostNote*> NewEnum() const { return mNotes; }

    // Creates a note from the template with the current time, stores and saves it, and opens its
    // window at the default place. Throws QvError when no id is free.
    clsPostNote* AddNew();
    // Asks once (ConfirmDeleteAllNotes); on yes deletes every note. Returns whether it deleted.
    bool DeleteAll();
    // Opens every note marked visible (start-up).
    void ShowVisible();
    // Opens every hidden note.
    void ShowAll();
    // Hides every open note.
    void HideAll();

    // Adds the split button "便签" (332) to the toolbar, fills its drop-down on every opening,
    // and reopens the notes that were open at the last exit. Returns the button.
    CommandBarControl* initPostNoteCommandbars(CommandBar* toolbar);
    // Fills the drop-down of the notes button; other popups are left alone.
    void OnInitCommandsPopup(CommandBar* popup);
    // Runs a notes command (332-334, 337-339) of the main window's bars; other ids are ignored.
    void OnExecute(CommandBarControl* control);

    // Saving (see the class comment).
    void RequestSave();
    void FlushSave();
    bool SavePending() const;
    int SaveCount() const;
    // The gathering interval in milliseconds (200 unless a tool or test changes it).
    void SetSaveInterval(int ms);

    // Closes every note window for the end of the program: geometry is written, `visible` stays
    // as it is, so the notes reopen at the next start. Pending changes are saved.
    void UnloadForExit();

    // The id a new note takes after the note with id `last` (0: none) when `used` are taken, or 0
    // when every id from 1 to 32767 is taken.
    static qint32 NextFreeId(qint32 last, const QHash<QString, clsPostNote*>& used);
    static constexpr qint32 MaxNewId = 32767;
    // The creation time as it is stored and shown: the local short date and the time with seconds.
    static QString CreateTimeText(const QDateTime& when);
    // The markup a new note's element is made from.
    static QString TemplateMarkup(const QString& createTime);

    // The notes of a user data store: created and loaded on the first call, the same object (a
    // child of the store) on every later one. Null for a null store.
    static clsPostNotes* Of(clsUserData* userData);
    // The notes of a store when they have been created, else null.
    static clsPostNotes* Existing(clsUserData* userData);

private:
    void writeUserData();
    void fillDropDown(CommandBar* popup);
    void execute(int id, const QString& parameter);

    QList<clsPostNote*> mNotes;
    QHash<QString, clsPostNote*> mByKey;
    SaveThrottle* mSaver = nullptr;
    QPointer<CommandBars> mBars;
    bool mSaveFailed = false;
};
