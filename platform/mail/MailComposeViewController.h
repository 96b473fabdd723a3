#pragma once
// The mail composer screen: To, Cc and Bcc fields, the subject, the body as it
// will be sent and one attachment; Cancel, Save and Send. Presented modally
// over a screen; its delegate is told the outcome and dismisses it.
//
// (Contract: the full class is declared here by the mail layer; this header
// fixes what callers rely on.)

#include "platform/ui/ViewController.h"

#include <QString>

namespace mail {

class MailComposeViewController;

enum class MailComposeResult { Cancelled = 0, Saved = 1, Sent = 2, Failed = 3 };

class MailComposeViewControllerDelegate {
public:
    virtual ~MailComposeViewControllerDelegate() = default;
    // The composer has finished; `error` is empty unless the result is Failed.
    // The delegate dismisses the composer (dismissModalViewControllerAnimated).
    virtual void mailComposeController(MailComposeViewController* controller, MailComposeResult result,
                                       const QString& error) = 0;
};

} // namespace mail
