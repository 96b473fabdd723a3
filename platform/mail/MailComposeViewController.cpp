#include "platform/mail/MailComposeViewController.h"

#include "platform/foundation/Localization.h"
#include "platform/foundation/Timing.h"
#include "platform/ui/Image.h"
#include "platform/ui/Style.h"

#include "ui_MailComposeViewController.h"

#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QThreadPool>
#include <algorithm>

namespace mail {

namespace {

QString joined(const QStringList& addresses)
{
    return addresses.join(QStringLiteral(", "));
}

} // namespace

MailComposeViewController::MailComposeViewController(QObject* parent)
    : ui::ViewController(parent), form_(std::make_unique<Ui::MailComposeViewController>())
{
    setTitle(L("New mail"));
}

// The buttons along the top, the address and subject rows, the message, and
// the attachment and the sending status at the bottom; in a centred column
// on a wide window, the message taking the height there is.
void MailComposeViewController::viewDidLayoutSubviews()
{
    const int w = view()->width(), h = view()->height();
    const int column = std::min(w - 16, 720);
    const int x = (w - column) / 2;
    form_->cancelButton->setGeometry(x - 2, 6, 94, 32);
    form_->saveButton->setGeometry(x + 98, 6, 78, 32);
    form_->sendButton->setGeometry(x + column - 86, 6, 88, 32);
    form_->mailIcon->setGeometry((x + 176 + x + column - 86) / 2 - 14, 8, 28, 28);
    int y = 50;
    for (auto [label, field] : {std::pair{form_->toLabel, form_->toField}, std::pair{form_->ccLabel, form_->ccField},
                                std::pair{form_->bccLabel, form_->bccField},
                                std::pair{form_->subjectLabel, form_->subjectField}}) {
        label->setGeometry(x, y, 62, 28);
        field->setGeometry(x + 64, y, column - 64, 28);
        y += 34;
    }
    form_->bodyView->setGeometry(x, 190, column, std::max(40, h - 314));
    form_->attachmentView->setGeometry(x, h - 116, column, 50);
    form_->attachmentIcon->setGeometry(8, 9, 32, 32);
    form_->attachmentNameLabel->setGeometry(48, 5, column - 56, 22);
    form_->attachmentSizeLabel->setGeometry(48, 27, column - 56, 18);
    form_->activityIndicator->setGeometry(x, h - 58, 37, 37);
    form_->statusLabel->setGeometry(x + 44, h - 62, column - 44, 56);
    updateAttachmentView(); // the name shortened for its new width
}

MailComposeViewController::~MailComposeViewController() = default;

void MailComposeViewController::loadView()
{
    QWidget* v = loadLayout(*form_);
    ui::setBackgroundColor(v, Qt::black);
    form_->mailIcon->setPixmap(QPixmap::fromImage(ui::imageNamed(QStringLiteral("mail.png"))));
    form_->attachmentIcon->setPixmap(QPixmap::fromImage(ui::imageNamed(QStringLiteral("file.png"))));
    connect(form_->cancelButton, &QPushButton::clicked, this, [this] { cancelPressed(); });
    connect(form_->saveButton, &QPushButton::clicked, this, [this] { savePressed(); });
    connect(form_->sendButton, &QPushButton::clicked, this, [this] { sendPressed(); });
    connect(form_->toField, &QLineEdit::textChanged, this, [this](const QString& t) { to_ = t; });
    connect(form_->ccField, &QLineEdit::textChanged, this, [this](const QString& t) { cc_ = t; });
    connect(form_->bccField, &QLineEdit::textChanged, this, [this](const QString& t) { bcc_ = t; });
    connect(form_->subjectField, &QLineEdit::textChanged, this, [this](const QString& t) { subject_ = t; });
    setView(v);
}

void MailComposeViewController::viewDidLoad()
{
    for (auto [field, text] : {std::pair{form_->toField, to_}, std::pair{form_->ccField, cc_},
                               std::pair{form_->bccField, bcc_}}) {
        field->setText(text);
        field->setCursorPosition(0);
    }
    form_->subjectField->setText(subject_);
    form_->subjectField->setCursorPosition(0);
    setMessageBody(body_, bodyIsHTML_);
    ui::setBackgroundColor(form_->attachmentView, Qt::black);
    ui::Layer* layer = ui::Layer::of(form_->attachmentView);
    layer->setCornerRadius(8);
    layer->setBorderWidth(2);
    layer->setBorderColor(Qt::white);
    form_->activityIndicator->setColor(ui::accentColor());
    updateAttachmentView();
    setStatus(status_, statusIsError_);
}

void MailComposeViewController::setSubject(const QString& subject)
{
    subject_ = subject;
    if (isViewLoaded()) {
        form_->subjectField->setText(subject);
        form_->subjectField->setCursorPosition(0);
    }
}

QString MailComposeViewController::subject() const
{
    return subject_;
}

void MailComposeViewController::setToRecipients(const QStringList& addresses)
{
    to_ = joined(addresses);
    if (isViewLoaded()) {
        form_->toField->setText(to_);
        form_->toField->setCursorPosition(0);
    }
}

void MailComposeViewController::setCcRecipients(const QStringList& addresses)
{
    cc_ = joined(addresses);
    if (isViewLoaded()) {
        form_->ccField->setText(cc_);
        form_->ccField->setCursorPosition(0);
    }
}

void MailComposeViewController::setBccRecipients(const QStringList& addresses)
{
    bcc_ = joined(addresses);
    if (isViewLoaded()) {
        form_->bccField->setText(bcc_);
        form_->bccField->setCursorPosition(0);
    }
}

QString MailComposeViewController::toRecipients() const
{
    return to_;
}

QString MailComposeViewController::ccRecipients() const
{
    return cc_;
}

QString MailComposeViewController::bccRecipients() const
{
    return bcc_;
}

void MailComposeViewController::setMessageBody(const QString& body, bool isHTML)
{
    body_ = body;
    bodyIsHTML_ = isHTML;
    if (!isViewLoaded())
        return;
    if (isHTML)
        form_->bodyView->setHtml(body);
    else
        form_->bodyView->setPlainText(body);
}

bool MailComposeViewController::addAttachmentFile(const QString& path, const QString& mimeType,
                                                  const QString& fileName)
{
    const QFileInfo info(path);
    QFile probe(path);
    if (path.isEmpty() || !info.isFile() || !probe.open(QIODevice::ReadOnly)) {
        attachmentPath_.clear();
        attachmentMimeType_.clear();
        attachmentFileName_.clear();
        attachmentSize_ = 0;
        setStatus(L("The file \"%1\" could not be attached.").arg(fileName), true);
        updateAttachmentView();
        return false;
    }
    attachmentPath_ = info.absoluteFilePath();
    attachmentMimeType_ = mimeType;
    attachmentFileName_ = fileName;
    attachmentSize_ = info.size();
    updateAttachmentView();
    return true;
}

QString MailComposeViewController::statusText() const
{
    return status_;
}

void MailComposeViewController::setStatus(const QString& text, bool isError)
{
    status_ = text;
    statusIsError_ = isError;
    if (!isViewLoaded())
        return;
    form_->statusLabel->setText(text);
    form_->statusLabel->setStyleSheet(isError ? QStringLiteral("color: rgb(255, 110, 100); font-size: 13px;")
                                              : QStringLiteral("color: white; font-size: 13px;"));
}

void MailComposeViewController::updateAttachmentView()
{
    if (!isViewLoaded())
        return;
    form_->attachmentView->setVisible(hasAttachment());
    // A long name loses its middle, so that the extension stays in sight.
    QLabel* name = form_->attachmentNameLabel;
    name->ensurePolished(); // the style sheet sets its font
    name->setText(name->fontMetrics().elidedText(attachmentFileName_, Qt::ElideMiddle, name->width()));
    name->setToolTip(attachmentFileName_);
    form_->attachmentSizeLabel->setText(QLocale().formattedDataSize(attachmentSize_));
}

void MailComposeViewController::setEditable(bool editable)
{
    for (QWidget* w : {static_cast<QWidget*>(form_->toField), static_cast<QWidget*>(form_->ccField),
                       static_cast<QWidget*>(form_->bccField), static_cast<QWidget*>(form_->subjectField),
                       static_cast<QWidget*>(form_->cancelButton), static_cast<QWidget*>(form_->saveButton),
                       static_cast<QWidget*>(form_->sendButton)})
        w->setEnabled(editable);
}

void MailComposeViewController::cancelPressed()
{
    if (sending_)
        return;
    finish(MailComposeResult::Cancelled, QString());
}

MailDraft MailComposeViewController::draft() const
{
    MailDraft d;
    d.to = to_;
    d.cc = cc_;
    d.bcc = bcc_;
    d.subject = subject_;
    d.body = body_;
    d.bodyIsHTML = bodyIsHTML_;
    d.attachmentPath = attachmentPath_;
    d.attachmentMimeType = attachmentMimeType_;
    d.attachmentFileName = attachmentFileName_;
    return d;
}

bool MailComposeViewController::addressesAreValid(bool needRecipient)
{
    const std::pair<const char*, const QString*> fields[] = {{"To", &to_}, {"Cc", &cc_}, {"Bcc", &bcc_}};
    for (const auto& [name, list] : fields) {
        const QString bad = firstInvalidAddress(*list);
        if (!bad.isEmpty()) {
            setStatus(L("\"%1\" in %2 is not a valid e-mail address.").arg(bad, L(name)), true);
            return false;
        }
    }
    if (needRecipient && addressCount(to_) + addressCount(cc_) + addressCount(bcc_) == 0) {
        setStatus(L("Enter at least one recipient."), true);
        return false;
    }
    return true;
}

void MailComposeViewController::savePressed()
{
    if (sending_ || finished_ || !addressesAreValid(false))
        return;
    setStatus(L("Saving…"), false);
    runInBackground(&saveDraft, &MailComposeViewController::saveFinished);
}

void MailComposeViewController::sendPressed()
{
    if (sending_ || finished_ || !addressesAreValid(true))
        return;
    setStatus(L("Sending…"), false);
    runInBackground(&sendMail, &MailComposeViewController::sendFinished);
}

void MailComposeViewController::runInBackground(std::function<MailOutcome(const MailDraft&)> job,
                                                void (MailComposeViewController::*done)(const MailOutcome&))
{
    sending_ = true;
    setEditable(false);
    form_->activityIndicator->startAnimating();
    QPointer<MailComposeViewController> self = this;
    QThreadPool::globalInstance()->start([job = std::move(job), d = draft(), self, done] {
        const MailOutcome outcome = job(d);
        // A composer that is gone meanwhile needs no answer: the message is
        // sent, or kept as a draft.
        timing::onMainThread(nullptr, [self, done, outcome] {
            if (self)
                (self.data()->*done)(outcome);
        });
    });
}

void MailComposeViewController::sendFinished(const MailOutcome& outcome)
{
    sending_ = false;
    form_->activityIndicator->stopAnimating();
    if (outcome.ok) {
        setStatus(L("Sent."), false);
        finish(MailComposeResult::Sent, QString());
        return;
    }
    draftPath_ = outcome.draftPath;
    if (draftPath_.isEmpty()) {
        // Not even a draft could be written (the attachment has gone, the
        // disk is full): the composer stays open with everything typed.
        setEditable(true);
        addAttachmentFileAgainIfGone();
        setStatus(outcome.reason, true);
        return;
    }
    // Say why, with the draft already saved; report once the user has read it.
    failure_ = outcome;
    setStatus(L("Not sent. The message was saved in the drafts folder."), true);
    alert_ = std::make_unique<ui::AlertView>(L("Mail not sent"),
                                             outcome.reason + QStringLiteral("\n\n")
                                                 + L("The message was saved in the drafts folder."),
                                             static_cast<ui::AlertViewDelegate*>(this), L("OK"),
                                             QStringList());
    alert_->show();
}

void MailComposeViewController::alertView(ui::AlertView*, int)
{
    finish(MailComposeResult::Failed, failure_.reason);
}

void MailComposeViewController::saveFinished(const MailOutcome& outcome)
{
    sending_ = false;
    form_->activityIndicator->stopAnimating();
    if (!outcome.ok) {
        setEditable(true);
        addAttachmentFileAgainIfGone();
        setStatus(outcome.reason, true);
        return;
    }
    draftPath_ = outcome.draftPath;
    setStatus(L("Saved."), false);
    finish(MailComposeResult::Saved, QString());
}

void MailComposeViewController::addAttachmentFileAgainIfGone()
{
    if (hasAttachment() && !QFileInfo(attachmentPath_).isReadable()) {
        const QString path = attachmentPath_, type = attachmentMimeType_, name = attachmentFileName_;
        addAttachmentFile(path, type, name);
    }
}

void MailComposeViewController::finish(MailComposeResult result, const QString& error)
{
    if (finished_)
        return;
    finished_ = true;
    if (delegate_)
        delegate_->mailComposeController(this, result, error);
}

} // namespace mail
