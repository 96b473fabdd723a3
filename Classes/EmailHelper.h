#pragma once
// Prepares a mail that carries one stored file as its attachment, with a given
// subject and a fixed disclaimer as its body, and presents the mail composer
// over the screen that asked for it. The outcome goes to the caller's
// delegate, which also dismisses the composer.
//
//   EmailHelper().emailFile(fileURL, subject, this, this);
//
// Main thread only. Callers make one EmailHelper for one call.

#include "platform/foundation/Url.h"

#include <QString>

namespace ui {
class ViewController;
}
namespace mail {
class MailComposeViewControllerDelegate;
}

class EmailHelper {
public:
    void emailFile(const Url& file, const QString& subject, ui::ViewController* viewController,
                   mail::MailComposeViewControllerDelegate* delegate);

    // The MIME type the attachment is sent with, by the file's extension.
    static QString mimeTypeForExtension(const QString& extension);
};
