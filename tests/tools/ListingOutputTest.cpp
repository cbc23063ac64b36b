// The listing's output: which outputs take the lines as they are read, and that a read that starts
// again, fails or is refused leaves each of them as a spool would.

#include "tools/vellacord-admin/ListingOutput.h"

#include "support/TempFolder.h"

#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

namespace {

// An output descriptor with a text stream on it, as the tool has for its standard output.
struct Output {
    Output(const QString& path, int flags, const QByteArray& before = {})
    {
        descriptor = ::open(QFile::encodeName(path).constData(), flags | O_WRONLY | O_CREAT, 0600);
        if (!before.isEmpty()) {
            EXPECT_EQ(::write(descriptor, before.constData(), static_cast<size_t>(before.size())), before.size());
        }
        EXPECT_TRUE(file.open(descriptor, QIODevice::WriteOnly));
        stream.setDevice(&file);
    }
    ~Output() { ::close(descriptor); }

    int descriptor = -1;
    QFile file;
    QTextStream stream;
};

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Two attempts, the first dropped; `finish` says whether the listing stands.
void List(ListingOutput& listing, bool finish)
{
    listing.Restart();
    listing.Write("first attempt\n");
    listing.Restart();
    listing.Write("captions\n");
    listing.Write("row\n");
    if (finish)
        listing.Finish();
}

} // namespace

TEST(ListingOutputTest, AFileOfItsOwnOnTheLocalDiskTakesTheLinesAndLosesThemWhenTheListingFails)
{
    // On the disk of the temporary folder, where the spool would lie.
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString path = folder.filePath(QStringLiteral("out.txt"));
    const QString errors = folder.filePath(QStringLiteral("errors.txt"));
    Output error(errors, O_TRUNC);
    // Written after what another command wrote there before: that stays.
    for (const bool finish : {true, false}) {
        Output out(path, O_TRUNC, "earlier\n");
        {
            ListingOutput listing(out.stream, out.descriptor, error.descriptor);
            EXPECT_TRUE(listing.direct());
            listing.Restart();
            listing.Write("first attempt\n");
            EXPECT_EQ(Bytes(path), "earlier\nfirst attempt\n") << "the lines go out as they come";
            listing.Restart();
            listing.Write("captions\n");
            listing.Write("row\n");
            if (finish)
                listing.Finish();
        }
        EXPECT_EQ(Bytes(path), finish ? "earlier\ncaptions\nrow\n" : "earlier\n");
        // Later writes of the same descriptor follow the listing.
        ASSERT_EQ(::write(out.descriptor, "next\n", 5), 5);
        EXPECT_EQ(Bytes(path), finish ? "earlier\ncaptions\nrow\nnext\n" : "earlier\nnext\n");
    }
}

TEST(ListingOutputTest, OutputsThatACutWouldHurtGetTheSpoolAndTheListingOnlyOnceItStands)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("out.txt"));
    Output error(folder.file(QStringLiteral("errors.txt")), O_TRUNC);
    // Appending (others' lines would be cut), written before its end (what follows would be cut)
    // and shared with the error stream (its messages would be cut).
    const auto appending = [&] { return std::make_unique<Output>(path, O_APPEND, "others\n"); };
    const auto beforeItsEnd = [&] {
        auto out = std::make_unique<Output>(path, O_TRUNC, "others\n");
        EXPECT_EQ(::lseek(out->descriptor, 0, SEEK_SET), 0);
        return out;
    };
    for (const auto& make : {std::function<std::unique_ptr<Output>()>(appending),
                             std::function<std::unique_ptr<Output>()>(beforeItsEnd)}) {
        for (const bool finish : {true, false}) {
            const std::unique_ptr<Output> out = make();
            const QByteArray before = Bytes(path);
            {
                ListingOutput listing(out->stream, out->descriptor, error.descriptor);
                EXPECT_FALSE(listing.direct());
                List(listing, finish);
                if (finish) {
                    EXPECT_NE(Bytes(path), before);
                } else {
                    EXPECT_EQ(Bytes(path), before) << "nothing before the listing stands";
                }
            }
            if (finish) {
                EXPECT_TRUE(Bytes(path).contains("captions\nrow\n")) << Bytes(path).toStdString();
            }
            EXPECT_FALSE(Bytes(path).contains("first attempt")) << Bytes(path).toStdString();
        }
    }
    Output shared(path, O_TRUNC);
    ListingOutput listing(shared.stream, shared.descriptor, shared.descriptor);
    EXPECT_FALSE(listing.direct());
    List(listing, true);
    EXPECT_EQ(Bytes(path), "captions\nrow\n");
}

TEST(ListingOutputTest, ThePipeGetsTheSpoolAndTheNullDeviceTheLinesAtOnce)
{
    int ends[2] = {-1, -1};
    ASSERT_EQ(::pipe(ends), 0);
    {
        QFile file;
        ASSERT_TRUE(file.open(ends[1], QIODevice::WriteOnly));
        QTextStream stream(&file);
        ListingOutput listing(stream, ends[1]);
        EXPECT_FALSE(listing.direct()) << "a slow reader must not hold the read";
        List(listing, true);
    }
    ::close(ends[1]);
    QByteArray read(64, '\0');
    const ssize_t got = ::read(ends[0], read.data(), static_cast<size_t>(read.size()));
    ::close(ends[0]);
    EXPECT_EQ(read.left(got), "captions\nrow\n");

    Output null(QStringLiteral("/dev/null"), 0);
    ListingOutput listing(null.stream, null.descriptor);
    EXPECT_TRUE(listing.direct());
    List(listing, true);
}
