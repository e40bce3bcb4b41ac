#include "notes/clsPostNotes.h"

#include "controls/CommandBars.h"
#include "core/QvError.h"
#include "core/QvIds.h"
#include "core/clsUserData.h"
#include "core/modDevelopeFunction.h"
#include "core/modInitial.h"
#include "core/modMessagebox.h"
#include "notes/SaveThrottle.h"
#include "notes/clsPostNote.h"
#include "notes/frmPostNote.h"
#include "platform/PlainMessage.h"

#include <QEvent>
#include <QLocale>
#include <QSet>

namespace {

constexpr int kSaveIntervalMs = 200;

// The attributes every note element carries, in the template's order, with the value a missing
// one is given.
const std::pair<const char*, const char*> kAttributes[] = {
    {"psid", ""}, {"createtime", ""}, {"visible", "0"}, {"top", ""},
    {"left", ""}, {"width", ""},      {"height", ""},
};

void log(const QString& text) {
    if (modInitial::gIsDevelopMode)
        modDevelopeFunction::WriteLog(text);
}

QString escapeAttribute(QString text) {
    return text.replace('&', QLatin1String("&amp;"))
        .replace('<', QLatin1String("&lt;"))
        .replace('\'', QLatin1String("&apos;"))
        .replace('"', QLatin1String("&quot;"));
}

} // namespace

clsPostNotes::clsPostNotes(clsUserData* parent) : QObject(parent), Parent(parent) {
    mSaver = new SaveThrottle([this] { writeUserData(); }, kSaveIntervalMs, this);
}

clsPostNotes::~clsPostNotes() {
    // The store goes with its document; open windows lose their records and close untouched.
    for (clsPostNote* note : std::as_const(mNotes)) {
        if (frmPostNote* window = note->FormHandle) {
            window->ReleaseNote();
            window->close();
        }
    }
}

clsPostNotes* clsPostNotes::Of(clsUserData* userData) {
    if (!userData)
        return nullptr;
    if (clsPostNotes* existing = Existing(userData))
        return existing;
    auto* notes = new clsPostNotes(userData);
    notes->Load(clsUserData::GetOrCreateChild(userData->XMLNode, QStringLiteral("postnotes")));
    return notes;
}

clsPostNotes* clsPostNotes::Existing(clsUserData* userData) {
    return userData ? userData->findChild<clsPostNotes*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QString clsPostNotes::CreateTimeText(const QDateTime& when) {
    const QLocale locale = QLocale::system();
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           when.time().toString(QStringLiteral("H:mm:ss"));
}

QString clsPostNotes::TemplateMarkup(const QString& createTime) {
    return QStringLiteral("<postnote psid='' createtime='") + escapeAttribute(createTime) +
           QStringLiteral("' visible='0' top='' left='' width='' height='' ></postnote>");
}

qint32 clsPostNotes::NextFreeId(qint32 last, const QHash<QString, clsPostNote*>& used) {
    qint32 id = (last >= 0 && last < MaxNewId) ? last + 1 : 1;
    for (qint32 tries = 0; tries < MaxNewId; ++tries) {
        if (!used.contains(QString::number(id)))
            return id;
        id = id % MaxNewId + 1;
    }
    return 0;
}

void clsPostNotes::Load(const XmlNode& section) {
    XMLNode = section;
    const XmlNodeList children = section.selectNodes(QStringLiteral("postnote"));

    // Ids that are fine stay with the first note that has them; the others are handed out
    // afterwards, so that no repaired note takes an id a later note already has.
    QHash<QString, clsPostNote*> keep;
    QList<clsPostNote*> loaded;
    for (const XmlNode& element : children) {
        auto* note = new clsPostNote(this);
        note->Load(element);
        note->Parent = this;
        for (const auto& [name, value] : kAttributes) {
            if (!element.hasAttribute(QLatin1String(name)))
                XmlNode(element).setAttribute(QLatin1String(name), QLatin1String(value));
        }
        const qint32 id = note->psID();
        if (id > 0 && !keep.contains(QString::number(id)))
            keep.insert(QString::number(id), note);
        loaded.append(note);
    }
    qint32 last = 0;
    for (clsPostNote* note : std::as_const(loaded)) {
        QString key = QString::number(note->psID());
        if (keep.value(key) != note) {
            const QString old = note->XMLNode().getAttribute(QStringLiteral("psid"));
            const qint32 fresh = NextFreeId(last, keep);
            if (fresh == 0) {
                // No id left for it: the note stays in the file untouched but is not listed.
                delete note;
                continue;
            }
            note->setPsID(fresh);
            key = QString::number(fresh);
            keep.insert(key, note);
            log(QStringLiteral("便签编号\"%1\"无效或重复,已改为%2").arg(old, key));
        }
        last = note->psID();
        Add(note, key);
    }
}

void clsPostNotes::Add(clsPostNote* note, const QString& key) {
    if (!note)
        return;
    if (!key.isEmpty()) {
        if (mByKey.contains(key))
            throw QvError(
                457, QStringLiteral("This key is already associated with an element of this collection"));
        mByKey.insert(key, note);
    }
    mNotes.append(note);
}

clsPostNote* clsPostNotes::GetPostNote(int index) const {
    if (index < 0 || index >= mNotes.size())
        throw QvError(QvErrors::InvalidArgument, QStringLiteral("Invalid procedure call or argument"));
    return mNotes.at(index);
}

clsPostNote* clsPostNotes::GetPostNote(const QString& key) const {
    clsPostNote* note = Find(key);
    if (!note)
        throw QvError(QvErrors::InvalidArgument, QStringLiteral("Invalid procedure call or argument"));
    return note;
}

clsPostNote* clsPostNotes::Find(const QString& key) const {
    return mByKey.value(key, nullptr);
}

void clsPostNotes::Remove(int index) {
    RemoveNote(GetPostNote(index));
}

void clsPostNotes::Remove(const QString& key) {
    RemoveNote(GetPostNote(key));
}

void clsPostNotes::RemoveNote(clsPostNote* note) {
    if (!mNotes.removeOne(note))
        return;
    for (auto it = mByKey.begin(); it != mByKey.end();) {
        if (it.value() == note)
            it = mByKey.erase(it);
        else
            ++it;
    }
}

clsPostNote* clsPostNotes::AddNew() {
    if (XMLNode.isNull())
        throw QvError(QvErrors::ObjectMissing, QStringLiteral("the notes are not loaded"));

    const XmlNode lastElement = XMLNode.selectSingleNode(QStringLiteral("postnote[last()]"));
    qint32 last = 0;
    if (!lastElement.isNull()) {
        clsPostNote probe;
        probe.Load(lastElement);
        last = probe.psID();
    }
    const qint32 id = NextFreeId(last, mByKey);
    if (id == 0)
        throw QvError(QvErrors::General, QStringLiteral("没有可用的便签编号"));

    XmlDocument fresh;
    if (!fresh.loadXML(TemplateMarkup(CreateTimeText(QDateTime::currentDateTime()))))
        throw QvError(QvErrors::General, fresh.parseError());
    // The element appended to the section is a copy in the user data document; the note
    // refers to that one.
    const XmlNode element = XMLNode.appendChild(fresh.documentElement());

    auto* note = new clsPostNote(this);
    note->Load(element);
    note->setPsID(id);
    note->Parent = this;
    Add(note, QString::number(id));

    RequestSave();
    FlushSave();
    note->IsNew = true;
    note->Show();
    return note;
}

bool clsPostNotes::DeleteAll() {
    if (modMessagebox::ConfirmDeleteAllNotes() != Answer::Yes)
        return false;
    const QList<clsPostNote*> notes = mNotes;
    for (clsPostNote* note : notes)
        note->Delete();
    return true;
}

void clsPostNotes::ShowVisible() {
    const QList<clsPostNote*> notes = mNotes;
    for (clsPostNote* note : notes) {
        if (note->IsVisible())
            note->Show();
    }
}

void clsPostNotes::ShowAll() {
    const QList<clsPostNote*> notes = mNotes;
    for (clsPostNote* note : notes) {
        if (!note->IsVisible())
            note->Show();
    }
}

void clsPostNotes::HideAll() {
    const QList<clsPostNote*> notes = mNotes;
    for (clsPostNote* note : notes) {
        if (note->IsVisible())
            note->Hide();
    }
}

CommandBarControl* clsPostNotes::initPostNoteCommandbars(CommandBar* toolbar) {
    CommandBarControl* button =
        toolbar->Add(CommandBarControl::SplitButtonPopup, Cmd::NoteAdd, QStringLiteral("便签"));
    button->setStyle(CommandBarControl::StyleIconAndCaption);
    if (CommandBars* bars = toolbar->Bars(); bars && bars != mBars) {
        if (mBars)
            disconnect(mBars, nullptr, this, nullptr);
        mBars = bars;
        connect(bars, &CommandBars::InitCommandsPopup, this, &clsPostNotes::OnInitCommandsPopup);
    }
    if (button->CommandBar())
        fillDropDown(button->CommandBar());
    ShowVisible();
    return button;
}

void clsPostNotes::OnInitCommandsPopup(CommandBar* popup) {
    if (popup && popup->ParentControl() && popup->ParentControl()->Id() == Cmd::NoteAdd)
        fillDropDown(popup);
}

void clsPostNotes::fillDropDown(CommandBar* popup) {
    popup->DeleteAll();
    bool anyHidden = false;
    bool anyOpen = false;
    for (const clsPostNote* note : std::as_const(mNotes)) {
        if (note->IsVisible())
            anyOpen = true;
        else
            anyHidden = true;
    }
    popup->Add(CommandBarControl::Button, Cmd::NoteShowAll, QStringLiteral("显示所有便签"))
        ->setEnabled(anyHidden);
    popup->Add(CommandBarControl::Button, Cmd::NoteDeleteAll, QStringLiteral("删除所有便签"))
        ->setEnabled(!mNotes.isEmpty());
    CommandBarControl* hideAll =
        popup->Add(CommandBarControl::Button, Cmd::NoteHideAll, QStringLiteral("隐藏所有便签"));
    hideAll->setEnabled(anyOpen);
    hideAll->setBeginGroup(true);
    for (const clsPostNote* note : std::as_const(mNotes)) {
        CommandBarControl* entry =
            popup->Add(CommandBarControl::Button, note->IsVisible() ? Cmd::NoteHide : Cmd::NoteShow,
                       QStringLiteral("   ") + note->CreateTime());
        const QString text = note->Text();
        entry->setDescriptionText(text);
        // The captions are only times; the tooltip shows the start of the note to tell them apart.
        entry->setTooltipText(text.left(200));
        entry->setParameter(QString::number(note->psID()));
    }
}

void clsPostNotes::OnExecute(CommandBarControl* control) {
    if (control)
        execute(control->Id(), control->Parameter());
}

void clsPostNotes::execute(int id, const QString& parameter) {
    try {
        switch (id) {
        case Cmd::NoteAdd:
            AddNew();
            break;
        case Cmd::NoteHideAll:
            HideAll();
            break;
        case Cmd::NoteShowAll:
            ShowAll();
            break;
        case Cmd::NoteHide:
        case Cmd::NoteShow:
            // An entry of a list opened before its note was deleted finds nothing to act on.
            if (clsPostNote* note = Find(parameter))
                id == Cmd::NoteHide ? note->Hide() : note->Show();
            break;
        case Cmd::NoteDeleteAll:
            DeleteAll();
            break;
        default:
            break;
        }
    } catch (const QvError& e) {
        ShowPlainMessage(QStringLiteral("便签操作失败：%1").arg(e.description()), QStringLiteral("Quorvel"));
    }
}

void clsPostNotes::RequestSave() {
    mSaver->Request();
}

void clsPostNotes::FlushSave() {
    mSaver->Flush();
}

bool clsPostNotes::SavePending() const {
    return mSaver->Pending();
}

int clsPostNotes::SaveCount() const {
    return mSaver->SaveCount();
}

void clsPostNotes::SetSaveInterval(int ms) {
    mSaver->SetInterval(ms);
}

void clsPostNotes::UnloadForExit() {
    const QList<clsPostNote*> notes = mNotes;
    for (clsPostNote* note : notes) {
        if (frmPostNote* window = note->FormHandle)
            window->Unload(frmPostNote::UnloadForExit);
    }
    FlushSave();
}

void clsPostNotes::writeUserData() {
    // A store kept in memory only (its file could not be used) has nowhere to write to.
    if (!Parent || Parent->FilePath().isEmpty() || Parent->XMLNode.isNull())
        return;
    try {
        Parent->Save();
        mSaveFailed = false;
    } catch (const QvError& e) {
        log(QStringLiteral("便签保存失败: %1").arg(e.description()));
        if (!mSaveFailed) {
            mSaveFailed = true;
            ShowPlainMessage(QStringLiteral("便签无法保存到用户数据文件：%1").arg(e.description()),
                             QStringLiteral("Quorvel"));
        }
    }
}
