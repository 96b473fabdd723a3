#include "Classes/EmailHelper.h"

#include "platform/library/AudioFormat.h"
#include "platform/mail/MailComposeViewController.h"
#include "platform/ui/ViewController.h"

namespace {

const char* const kBody =
    "You agree that you will not use Ripwell in a manner that would infringe or violate the rights of any other "
    "party \nand that the developer of Ripwell is not in any way responsible for any such use by you.";

} // namespace

void EmailHelper::emailFile(const Url& file, const QString& subject, ui::ViewController* viewController,
                            mail::MailComposeViewControllerDelegate* delegate)
{
    auto* picker = new mail::MailComposeViewController;
    picker->setMailComposeDelegate(delegate);
    picker->setSubject(QStringLiteral("%1").arg(subject));
    // The file is streamed into the message when it is built; one that cannot
    // be read leaves the mail without attachment, which the composer says.
    picker->addAttachmentFile(file.path(), mimeTypeForExtension(file.pathExtension()), file.lastPathComponent());
    picker->setMessageBody(QString::fromUtf8(kBody), true);
    viewController->presentModalViewController(picker, true);
}

QString EmailHelper::mimeTypeForExtension(const QString& extension)
{
    // A song's type is the table of formats' to say; error.log is text.
    if (const auto format = medialibrary::formatForFileName(QStringLiteral("file.") + extension))
        return QString::fromLatin1(medialibrary::formatInfo(*format).mimeType);
    if (extension.compare(QLatin1String("log"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("text/plain");
    return QStringLiteral("application/octet-stream");
}
