#include "platform/mail/MailMessage.h"

#include "platform/foundation/Localization.h"
#include "platform/foundation/PathString.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QSysInfo>

#include <fcntl.h>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

// GLib's headers use the word `signals`, which Qt defines as a macro.
#undef signals
#include <gmime/gmime.h>

namespace mail {

namespace {

void initGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

// Owns one GObject reference.
template <class T>
struct Ref {
    T* p = nullptr;
    explicit Ref(T* object = nullptr) : p(object) {}
    ~Ref()
    {
        if (p)
            g_object_unref(p);
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T* get() const { return p; }
};

QByteArray utf8(const QString& s)
{
    return s.toUtf8();
}

// Splits an address list at the commas and semicolons that separate its
// entries, not at those inside quotes, angle brackets or comments.
QList<QString> splitAddressList(const QString& list)
{
    QList<QString> entries;
    QString current;
    bool quoted = false;
    int angle = 0, comment = 0;
    for (int i = 0; i < list.size(); ++i) {
        const QChar c = list.at(i);
        if (quoted) {
            current += c;
            if (c == u'\\' && i + 1 < list.size())
                current += list.at(++i); // an escaped character, a quote among them
            else if (c == u'"')
                quoted = false;
            continue;
        }
        if (c == u'"')
            quoted = true;
        else if (c == u'<')
            ++angle;
        else if (c == u'>' && angle > 0)
            --angle;
        else if (c == u'(')
            ++comment;
        else if (c == u')' && comment > 0)
            --comment;
        else if ((c == u',' || c == u';') && angle == 0 && comment == 0) {
            entries << current.trimmed();
            current.clear();
            continue;
        }
        current += c;
    }
    entries << current.trimmed();
    entries.removeAll(QString());
    return entries;
}

GMimeParserOptions* strictOptions()
{
    static GMimeParserOptions* options = [] {
        initGMime();
        GMimeParserOptions* o = g_mime_parser_options_new();
        g_mime_parser_options_set_address_compliance_mode(o, GMIME_RFC_COMPLIANCE_STRICT);
        g_mime_parser_options_set_allow_addresses_without_domain(o, FALSE);
        return o;
    }();
    return options;
}

bool isMailboxAddress(const QString& entry)
{
    Ref<InternetAddressList> parsed(internet_address_list_parse(strictOptions(), utf8(entry).constData()));
    if (!parsed.get() || internet_address_list_length(parsed.get()) != 1)
        return false;
    InternetAddress* address = internet_address_list_get_address(parsed.get(), 0);
    if (!INTERNET_ADDRESS_IS_MAILBOX(address))
        return false;
    const QString addr = QString::fromUtf8(internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(address)));
    const qsizetype at = addr.lastIndexOf(u'@');
    if (at <= 0 || at == addr.size() - 1)
        return false;
    for (QChar c : addr)
        if (c.isSpace() || c == u'<' || c == u'>' || c == u',' || c == u'"')
            return false;
    // A domain is dot-separated labels, none of them empty.
    const QString domain = addr.mid(at + 1);
    return !domain.startsWith(u'.') && !domain.endsWith(u'.') && !domain.contains(QStringLiteral(".."));
}

// Appends every address of a valid `list` to `target`.
void appendAddresses(InternetAddressList* target, const QString& list)
{
    for (const QString& entry : splitAddressList(list)) {
        Ref<InternetAddressList> parsed(internet_address_list_parse(strictOptions(), utf8(entry).constData()));
        if (parsed.get())
            internet_address_list_append(target, parsed.get());
    }
}

QString userName()
{
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name && *pw->pw_name)
        return QString::fromLocal8Bit(pw->pw_name);
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("user") : user;
}

QString hostName()
{
    QString host = QSysInfo::machineHostName();
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    return host;
}

} // namespace

QString defaultSender()
{
    const QString configured = qEnvironmentVariable("RIPWELL_MAIL_FROM").trimmed();
    if (!configured.isEmpty())
        return configured;
    return userName() + u'@' + hostName();
}

QString firstInvalidAddress(const QString& list)
{
    for (const QString& entry : splitAddressList(list))
        if (!isMailboxAddress(entry))
            return entry;
    return QString();
}

int addressCount(const QString& list)
{
    return static_cast<int>(splitAddressList(list).size());
}

bool writeMessage(const MailDraft& draft, const QString& path, QString* error)
{
    initGMime();
    const auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        QFile::remove(path);
        return false;
    };

    Ref<GMimeMessage> message(g_mime_message_new(TRUE));
    const QString from = draft.from.isEmpty() ? defaultSender() : draft.from;
    if (!firstInvalidAddress(from).isEmpty() || addressCount(from) != 1)
        return fail(L("The sender address \"%1\" is not valid.").arg(from));
    appendAddresses(g_mime_message_get_from(message.get()), from);
    appendAddresses(g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_TO), draft.to);
    appendAddresses(g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_CC), draft.cc);
    appendAddresses(g_mime_message_get_addresses(message.get(), GMIME_ADDRESS_TYPE_BCC), draft.bcc);
    g_mime_message_set_subject(message.get(), utf8(draft.subject).constData(), "utf-8");

    GDateTime* now = g_date_time_new_now_local();
    g_mime_message_set_date(message.get(), now);
    g_date_time_unref(now);
    const QString domain = from.section(u'@', -1).section(u'>', 0, 0).trimmed();
    char* id = g_mime_utils_generate_message_id(utf8(domain.isEmpty() ? hostName() : domain).constData());
    g_mime_message_set_message_id(message.get(), id);
    g_free(id);

    // The body, UTF-8, in base64: the recipient gets exactly the text, its
    // line feed, the space before it and no line end added after it.
    Ref<GMimeTextPart> body(g_mime_text_part_new_with_subtype(draft.bodyIsHTML ? "html" : "plain"));
    g_mime_text_part_set_text(body.get(), utf8(draft.body).constData());
    g_mime_text_part_set_charset(body.get(), "utf-8");
    g_mime_part_set_content_encoding(GMIME_PART(body.get()), GMIME_CONTENT_ENCODING_BASE64);

    Ref<GMimeStream> attachmentStream;
    if (draft.attachmentPath.isEmpty()) {
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(body.get()));
    } else {
        GError* openError = nullptr;
        attachmentStream.p = g_mime_stream_fs_open(path::native(draft.attachmentPath).constData(), O_RDONLY,
                                                   0, &openError);
        if (!attachmentStream.get()) {
            g_clear_error(&openError);
            return fail(L("The file \"%1\" could not be read.").arg(draft.attachmentFileName));
        }
        const QString type = draft.attachmentMimeType.contains(u'/') ? draft.attachmentMimeType
                                                                     : QStringLiteral("application/octet-stream");
        Ref<GMimePart> attachment(g_mime_part_new_with_type(utf8(type.section(u'/', 0, 0)).constData(),
                                                            utf8(type.section(u'/', 1)).constData()));
        Ref<GMimeDataWrapper> content(
            g_mime_data_wrapper_new_with_stream(attachmentStream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
        g_mime_part_set_content(attachment.get(), content.get());
        g_mime_part_set_content_encoding(attachment.get(), GMIME_CONTENT_ENCODING_BASE64);
        g_mime_object_set_disposition(GMIME_OBJECT(attachment.get()), GMIME_DISPOSITION_ATTACHMENT);
        g_mime_part_set_filename(attachment.get(), utf8(draft.attachmentFileName).constData());

        Ref<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(body.get()));
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(attachment.get()));
        g_mime_message_set_mime_part(message.get(), GMIME_OBJECT(mixed.get()));
    }

    GError* createError = nullptr;
    Ref<GMimeStream> out(g_mime_stream_fs_open(path::native(path).constData(), O_WRONLY | O_CREAT | O_EXCL,
                                               0600, &createError));
    if (!out.get()) {
        const QString why = QString::fromUtf8(createError ? createError->message : "");
        g_clear_error(&createError);
        if (error)
            *error = L("The message could not be written: %1").arg(why);
        return false; // not ours to remove
    }
    GMimeFormatOptions* format = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(format, GMIME_NEWLINE_FORMAT_UNIX);
    g_mime_format_options_set_param_encoding_method(format, GMIME_PARAM_ENCODING_METHOD_RFC2231);
    const gint64 written = g_mime_object_write_to_stream(GMIME_OBJECT(message.get()), format, out.get());
    g_mime_format_options_free(format);
    const bool flushed = written >= 0 && g_mime_stream_flush(out.get()) == 0;
    const bool closed = g_mime_stream_close(out.get()) == 0;
    if (!flushed || !closed)
        return fail(L("The message could not be written: the file \"%1\" could not be read or the disk is full.")
                        .arg(draft.attachmentFileName));
    return true;
}

} // namespace mail
