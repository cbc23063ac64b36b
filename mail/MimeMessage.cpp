// Building the notification's message with GMime, which takes care of header encoding, line
// lengths and transfer encodings.

#include "mail/MimeMessage.h"

#include "mail/GMimeLibrary.h"
#include "mail/Notification.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>

#include <memory>

namespace mail {

using namespace gmime;

namespace {

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GPointer = std::unique_ptr<T, GObjectUnref>;

struct DateTimeUnref {
    void operator()(GDateTime* date) const { g_date_time_unref(date); }
};

void InitialiseGMime()
{
    static const bool initialised = [] {
        g_mime_init();
        return true;
    }();
    (void)initialised;
}

// The content from bytes as they are, for parts that must not be converted on the way.
GPointer<GMimeDataWrapper> Content(const QByteArray& bytes)
{
    GPointer<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    return GPointer<GMimeDataWrapper>(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
}

GPointer<GMimeTextPart> TextPart(const QString& body)
{
    GPointer<GMimeTextPart> part(g_mime_text_part_new_with_subtype("plain"));
    // sendmail expects the local line ends; it makes CR LF of them on the wire.
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // Set as bytes: GMime's own text setter would pick a narrower character set than UTF-8.
    g_mime_part_set_content(GMIME_PART(part.get()), Content(text.toUtf8()).get());
    g_mime_text_part_set_charset(part.get(), "utf-8");
    return part;
}

GPointer<GMimePart> ArchivePart(const QByteArray& archive, const QString& name)
{
    GPointer<GMimePart> part(g_mime_part_new_with_type("application", "zip"));
    g_mime_part_set_content(part.get(), Content(archive).get());
    g_mime_part_set_filename(part.get(), name.toUtf8().constData());
    g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
    return part;
}

// The domain of the program's own message ids: a name with a dot, as the standard asks, that
// can never be anybody's real domain.
const QString kIdDomain = QStringLiteral("vellacord.invalid");

// The domain of a unique Message-ID: the author's own when the address has one with a dot.
QString UniqueIdDomain(const QString& fromAddress)
{
    const QString domain = fromAddress.mid(fromAddress.lastIndexOf(QLatin1Char('@')) + 1).trimmed();
    static const QRegularExpression kDomain(QStringLiteral("^[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)+$"));
    return fromAddress.contains(QLatin1Char('@')) && kDomain.match(domain).hasMatch() ? domain : kIdDomain;
}

// A header text as GMime takes it, a C string: a NUL would end it there, so it is shown as the
// symbol for null and the rest of the text follows.
QByteArray HeaderText(const QString& text)
{
    return QString(text).replace(QChar(u'\0'), QChar(0x2400)).toUtf8();
}

} // namespace

QStringList SplitRecipients(const QString& recipients)
{
    return recipients.split(QRegularExpression(QStringLiteral("[ ,;]")), Qt::SkipEmptyParts);
}

QString ThreadRoot(const QString& databasePath, std::int32_t defectId, double opened)
{
    const QByteArray key = QFileInfo(databasePath).fileName().toUtf8() + '\n' + QByteArray::number(opened, 'g', 17);
    const QByteArray hash = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("defect-%1.%2@%3").arg(defectId).arg(QString::fromLatin1(hash), kIdDomain);
}

QByteArray BuildMimeMessage(const Notification& notification, const QByteArray& archive, const QString& archiveName)
{
    InitialiseGMime();
    GPointer<GMimeMessage> message(g_mime_message_new(TRUE));
    // An author without e-mail would give "From: Name <>", which mail servers refuse; without the
    // header sendmail names the local user.
    if (!notification.fromAddress.isEmpty())
        g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_FROM,
                                   HeaderText(notification.fromName).constData(),
                                   notification.fromAddress.toUtf8().constData());
    for (const QString& address : SplitRecipients(notification.recipients))
        g_mime_message_add_mailbox(message.get(), GMIME_ADDRESS_TYPE_TO, nullptr, address.toUtf8().constData());
    g_mime_message_set_subject(message.get(), HeaderText(notification.subject).constData(), "utf-8");
    const std::unique_ptr<GDateTime, DateTimeUnref> now(g_date_time_new_now_local());
    g_mime_message_set_date(message.get(), now.get());

    const QString unique =
        QStringLiteral("defect-%1.%2@%3")
            .arg(notification.defectId)
            .arg(QUuid::createUuid().toString(QUuid::Id128), UniqueIdDomain(notification.fromAddress));
    g_mime_message_set_message_id(message.get(), unique.toUtf8().constData());
    auto* object = GMIME_OBJECT(message.get());
    if (!notification.threadRoot.isEmpty()) {
        const QByteArray root = '<' + notification.threadRoot.toUtf8() + '>';
        g_mime_object_set_header(object, "In-Reply-To", root.constData(), nullptr);
        g_mime_object_set_header(object, "References", root.constData(), nullptr);
    }
    // Out-of-office replies and other robots leave a generated mail alone.
    g_mime_object_set_header(object, "Auto-Submitted", "auto-generated", nullptr);

    GPointer<GMimeTextPart> text = TextPart(notification.body);
    if (archive.isEmpty()) {
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(text.get()));
    } else {
        GPointer<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(text.get()));
        GPointer<GMimePart> zip = ArchivePart(archive, archiveName);
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(zip.get()));
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed.get()));
    }
    // Long or non-ASCII lines get a transfer encoding that survives 7-bit mail servers.
    g_mime_object_encode(object, GMIME_ENCODING_CONSTRAINT_7BIT);

    GPointer<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_object_write_to_stream(object, nullptr, stream.get());
    const GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char*>(bytes->data), static_cast<qsizetype>(bytes->len));
}

} // namespace mail
