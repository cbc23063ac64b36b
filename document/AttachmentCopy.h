#pragma once
// Copying files into a defect's attachment directory: the directory is made on the first file,
// a name clash offers to save under another name, and any other failure is reported with the
// operating system's text (string 158).

#include <QString>
#include <QStringList>

class ConnectionProvider;
class UserInterface;

// Copies `source` into the defect's directory under its own name; true when a copy was made.
bool AddAttachment(UserInterface& ui, const QString& databasePath, int defectId, const QString& source);

// "&Add...": asks for the file first; false when the user cancelled or the copy failed.
bool ChooseAndAddAttachment(UserInterface& ui, const QString& databasePath, int defectId);

// Opens an attachment with the desktop's program for its type; says so when there is none
// or it cannot be started. True when it opened.
bool OpenAttachment(UserInterface& ui, const QString& path);

// Asks, then removes the files from the attachment folder (to the trash where the system has
// one); says which could not be removed. The number of files removed.
int RemoveAttachments(UserInterface& ui, const QStringList& paths);

// Tells the quick search's index the defect's attachment names after they changed. Best effort:
// a file without the index, or one that cannot be written now, is left as it is.
void IndexAttachments(ConnectionProvider& connections, const QString& databasePath, int defectId);
