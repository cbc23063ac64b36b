#pragma once
// Where an export goes: a regular file is replaced in one step once it is complete; the standard
// output ("-"), a pipe, a device or /dev/stdout are written directly as the bytes come.

#include <QFile>
#include <QSaveFile>
#include <QString>

#include <memory>

class OutputFile {
public:
    // Opens the target; aborts with `openFailure` when it cannot be opened.
    explicit OutputFile(const QString& path, const char* openFailure = "Could not open output file!");
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // A QFileDevice: a save file, or the target itself.
    QIODevice& device();
    // The file is replaced by a rename once complete and lies on the disk of the temporary
    // folder, so that writing it is as quick as writing a spool file there.
    bool ReplacedOnLocalDisk() const;
    // Puts the written file in place (a regular file) or flushes it; aborts when that fails.
    void Commit();

    // "-", or a target that is no regular file (a FIFO, a device, a socket) or that lies below
    // /dev or /proc (/dev/stdout names the program's own output, whatever it is connected to).
    // A temporary file and a rename would replace such a target instead of writing into it.
    static bool WritesInPlace(const QString& path);

private:
    std::unique_ptr<QSaveFile> replaced_;
    std::unique_ptr<QFile> direct_;
};
