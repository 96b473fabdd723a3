#pragma once
// The mail composer screen: To, Cc and Bcc fields, the subject, the body as it
// will be sent and one attachment; Cancel, Save and Send. Presented modally
// over a screen; its delegate is told the outcome and dismisses it.
//
//   auto* composer = new mail::MailComposeViewController;
//   composer->setMailComposeDelegate(delegate);
//   composer->setSubject(subject);
//   composer->addAttachmentFile(path, "audio/mpeg", "Song.mp3");
//   composer->setMessageBody(html, true);
//   presenter->presentModalViewController(composer, true);
//
// Send builds the message (MailMessage) and hands it to the sendmail command
// (MailDelivery) on a worker thread; the screen shows that it is sending and
// stays responsive. When sending fails, the reason is shown, the message is
// saved as a draft and only then is the delegate told Failed. Save writes the
// message into the drafts folder and reports Saved; Cancel reports Cancelled.
// An address list that does not parse is named on the screen and nothing is
// sent or saved. The delegate is told once; it dismisses the composer.
//
// Main thread only.

#include "platform/mail/MailDelivery.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ViewController.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace Ui {
class MailComposeViewController;
}

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

class MailComposeViewController : public ui::ViewController, private ui::AlertViewDelegate {
    Q_OBJECT
public:
    explicit MailComposeViewController(QObject* parent = nullptr);
    ~MailComposeViewController() override;

    void setMailComposeDelegate(MailComposeViewControllerDelegate* delegate) { delegate_ = delegate; }
    MailComposeViewControllerDelegate* mailComposeDelegate() const { return delegate_; }

    void setSubject(const QString& subject);
    QString subject() const;
    // Address lists as typed ("Ann <ann@example.org>, bob@example.org").
    void setToRecipients(const QStringList& addresses);
    void setCcRecipients(const QStringList& addresses);
    void setBccRecipients(const QStringList& addresses);
    QString toRecipients() const;
    QString ccRecipients() const;
    QString bccRecipients() const;
    // The body; `isHTML` marks it as HTML (text/html), else plain text.
    void setMessageBody(const QString& body, bool isHTML);
    QString messageBody() const { return body_; }
    bool isBodyHTML() const { return bodyIsHTML_; }

    // Attaches the file at `path` under `fileName` with `mimeType`. The file is
    // read when the message is built, not now. Returns false, and leaves the
    // mail without attachment and says so on the screen, when the file cannot
    // be read.
    bool addAttachmentFile(const QString& path, const QString& mimeType, const QString& fileName);
    bool hasAttachment() const { return !attachmentPath_.isEmpty(); }
    QString attachmentPath() const { return attachmentPath_; }
    QString attachmentMimeType() const { return attachmentMimeType_; }
    QString attachmentFileName() const { return attachmentFileName_; }
    qint64 attachmentSize() const { return attachmentSize_; }

    // The notice line of the screen (sending, a failure, a missing attachment).
    QString statusText() const;
    // Whether a Send or Save is under way.
    bool isSending() const { return sending_; }
    // The alert that tells why sending failed, while it is shown.
    ui::AlertView* failureAlert() const { return alert_.get(); }
    // The draft written by Save or by a failed Send, empty before.
    QString savedDraftPath() const { return draftPath_; }

protected:
    void loadView() override;
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

private:
    void cancelPressed();
    void savePressed();
    void sendPressed();
    // Checks the address fields; names the first invalid address on the screen.
    bool addressesAreValid(bool needRecipient);
    MailDraft draft() const;
    // Runs `job` on a worker thread, then `done` with its outcome here.
    void runInBackground(std::function<MailOutcome(const MailDraft&)> job, void (MailComposeViewController::*done)(const MailOutcome&));
    void sendFinished(const MailOutcome& outcome);
    // A file that has gone since it was attached is taken off, with a notice.
    void addAttachmentFileAgainIfGone();
    void saveFinished(const MailOutcome& outcome);
    void alertView(ui::AlertView* alertView, int clickedButtonAtIndex) override;
    void finish(MailComposeResult result, const QString& error);
    void setStatus(const QString& text, bool isError);
    void updateAttachmentView();
    void setEditable(bool editable);

    std::unique_ptr<Ui::MailComposeViewController> form_;
    MailComposeViewControllerDelegate* delegate_ = nullptr;
    QString subject_;
    QString to_, cc_, bcc_;
    QString body_;
    bool bodyIsHTML_ = false;
    QString attachmentPath_, attachmentMimeType_, attachmentFileName_;
    qint64 attachmentSize_ = 0;
    QString status_;
    bool statusIsError_ = false;
    bool sending_ = false;
    bool finished_ = false;
    QString draftPath_;
    MailOutcome failure_; // a failed Send, reported when its alert is closed
    std::unique_ptr<ui::AlertView> alert_;
};

} // namespace mail
