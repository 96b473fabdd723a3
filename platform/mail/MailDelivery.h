#pragma once
// Delivery and drafts. A message is written once, to a hidden file in the
// drafts folder, and from there either handed to the sendmail command or kept
// as a draft under a name taken from its subject. Nothing the user wrote is
// lost: when delivery fails, the message stays as a draft.
//
// The sendmail command is $RIPWELL_SENDMAIL (a program and its options, split
// into words as a shell would, with quotes but no expansions), else "sendmail"; "-t -i" is added and the message is
// written to its standard input, so the recipients come from the To, Cc and
// Bcc headers. The drafts folder is $XDG_DATA_HOME/Ripwell/Drafts
// (~/.local/share/Ripwell/Drafts by default).
//
// GUI-free. sendMail() and saveDraft() block until done: run them on a worker
// thread.

#include "platform/mail/MailMessage.h"

#include <QString>
#include <QStringList>

namespace mail {

QString draftsDirectory();
// The sendmail command line without the message, "-t -i" included.
QStringList sendmailCommand();

struct MailOutcome {
    bool ok = false;
    QString reason;    // why it failed, in plain words; empty on success
    QString draftPath; // the draft written (by Save, or by a failed Send)
};

// Builds the message and hands it to the sendmail command. On failure the
// message is kept as a draft (draftPath), when it could be built at all.
MailOutcome sendMail(const MailDraft& draft);
// Builds the message and keeps it as a draft.
MailOutcome saveDraft(const MailDraft& draft);

} // namespace mail
