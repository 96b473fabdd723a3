#pragma once
// A mail as the composer holds it, and its MIME form built with GMime: From,
// To, Cc, Bcc, Date and Message-Id; the subject encoded per RFC 2047; a body
// (HTML or plain text, UTF-8) and, with an attachment, multipart/mixed with the
// file in base64 under its name (RFC 2231 for names beyond ASCII). The file is
// streamed into the output while it is written; it is never held in memory.
//
// GUI-free; every function may run on any thread.

#include <QString>

namespace mail {

struct MailDraft {
    QString from;            // empty: defaultSender()
    QString to, cc, bcc;     // address lists as typed, "Ann <ann@example.org>, bob@example.org"
    QString subject;
    QString body;
    bool bodyIsHTML = true;
    QString attachmentPath;  // empty: no attachment
    QString attachmentMimeType;
    QString attachmentFileName;
};

// $RIPWELL_MAIL_FROM, else the user at the host name.
QString defaultSender();

// Checks one address list. Returns the first entry that is not a mailbox
// address ("name <local@domain>" or "local@domain"), or an empty string when
// every entry is one. An empty list is valid.
QString firstInvalidAddress(const QString& list);
// The number of addresses in a valid list.
int addressCount(const QString& list);

// Writes the message of `draft` to `path`, which must not exist yet. On
// failure (the attachment cannot be read, the disk is full) `path` is removed
// again and `error` says why in plain words.
bool writeMessage(const MailDraft& draft, const QString& path, QString* error);

} // namespace mail
