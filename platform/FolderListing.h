#pragma once
#include <QString>
#include <QStringList>

// Listing a folder's entries by kind, in the order the file system returns them, without asking
// for each entry's details where the file system tells the kind on its own (long lists of small
// files, such as the favorites, list several times faster so).
namespace FolderListing {

// Fills `folders` and `files` with the names of the folder's subfolders and other entries ("."
// and ".." left out); an entry that is a symbolic link counts as what it points to, a dangling
// one as a file. False when the folder cannot be read.
bool List(const QString& folder, QStringList& folders, QStringList& files);

} // namespace FolderListing
