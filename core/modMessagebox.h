#pragma once
#include <QString>

// The program's confirmations, one function per question. Each returns the identifier of the
// pressed button: Answer::Yes is yes; Answer::No and Answer::Cancel are no. Dismissing a
// question (Escape, the close box) gives its default button's identifier.
namespace modMessagebox {

qint32 ConfirmExit();
qint32 ConfirmDeleteNote();
qint32 ConfirmDeleteAllNotes();
qint32 NotifyRestartForUpdate();
// `text` names the recent document that is about to leave the list.
qint32 ConfirmRemoveRecentDocument(const QString& text);
qint32 ConfirmDeleteShortcut();
qint32 ConfirmRemovePage();
qint32 ConfirmRemoveAllPages();

} // namespace modMessagebox
