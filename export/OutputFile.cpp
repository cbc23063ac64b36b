// Export targets: regular files through a save file, everything else written directly.

#include "export/OutputFile.h"

#include "base/Check.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

#include <unistd.h>

namespace {

constexpr const char* kWriteFailure = "Writing output file failed!";

} // namespace

bool OutputFile::WritesInPlace(const QString& path)
{
    if (path == QLatin1String("-"))
        return true;
    const QFileInfo target(path);
    const QString absolute = target.absoluteFilePath();
    if (absolute.startsWith(QLatin1String("/dev/")) || absolute.startsWith(QLatin1String("/proc/")))
        return true;
    return target.exists() && !target.isFile() && !target.isDir();
}

OutputFile::OutputFile(const QString& path, const char* openFailure)
{
    if (!WritesInPlace(path)) {
        replaced_ = std::make_unique<QSaveFile>(path);
        // A file the user may write in a folder where no new file may be made is written in place.
        replaced_->setDirectWriteFallback(true);
        check::abort_if(!replaced_->open(QIODevice::WriteOnly), openFailure);
        return;
    }
    direct_ = std::make_unique<QFile>();
    bool opened = false;
    if (path == QLatin1String("-")) {
        opened = direct_->open(STDOUT_FILENO, QIODevice::WriteOnly, QFileDevice::DontCloseHandle);
    } else {
        // /dev/stdout redirected to a file with >> keeps what the file held; a pipe or a device
        // cannot seek to its end.
        direct_->setFileName(path);
        opened =
            direct_->open(QFileInfo(path).isFile() ? QIODevice::WriteOnly | QIODevice::Append : QIODevice::WriteOnly);
    }
    check::abort_if(!opened, openFailure);
}

bool OutputFile::ReplacedOnLocalDisk() const
{
    if (!replaced_)
        return false;
    // A folder where no new file may be made gets the file written in place.
    const QFileInfo folder(QFileInfo(replaced_->fileName()).absolutePath());
    struct stat target { };
    struct stat temporary { };
    return folder.isWritable() && ::stat(QFile::encodeName(folder.filePath()).constData(), &target) == 0 &&
        ::stat(QFile::encodeName(QDir::tempPath()).constData(), &temporary) == 0 && target.st_dev == temporary.st_dev;
}

QIODevice& OutputFile::device()
{
    return replaced_ ? static_cast<QIODevice&>(*replaced_) : static_cast<QIODevice&>(*direct_);
}

void OutputFile::Commit()
{
    if (replaced_) {
        check::abort_if(!replaced_->commit(), kWriteFailure);
        return;
    }
    check::abort_if(!direct_->flush() || direct_->error() != QFileDevice::NoError, kWriteFailure);
    direct_->close();
}
