#include "platform/mail/MailComposeViewController.h"

#include "platform/foundation/Localization.h"
#include "platform/ui/Style.h"

#include "ui_MailComposeViewController.h"

#include <QFileInfo>
#include <QLocale>

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
}

MailComposeViewController::~MailComposeViewController() = default;

void MailComposeViewController::loadView()
{
    QWidget* v = loadLayout(*form_);
    ui::setBackgroundColor(v, Qt::black);
    connect(form_->cancelButton, &QPushButton::clicked, this, [this] { cancelPressed(); });
    connect(form_->saveButton, &QPushButton::clicked, this, [this] { savePressed(); });
    connect(form_->sendButton, &QPushButton::clicked, this, [this] { sendPressed(); });
    connect(form_->toField, &QLineEdit::textEdited, this, [this](const QString& t) { to_ = t; });
    connect(form_->ccField, &QLineEdit::textEdited, this, [this](const QString& t) { cc_ = t; });
    connect(form_->bccField, &QLineEdit::textEdited, this, [this](const QString& t) { bcc_ = t; });
    connect(form_->subjectField, &QLineEdit::textEdited, this, [this](const QString& t) { subject_ = t; });
    setView(v);
}

void MailComposeViewController::viewDidLoad()
{
    form_->toField->setText(to_);
    form_->ccField->setText(cc_);
    form_->bccField->setText(bcc_);
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
    if (isViewLoaded())
        form_->toField->setText(to_);
}

void MailComposeViewController::setCcRecipients(const QStringList& addresses)
{
    cc_ = joined(addresses);
    if (isViewLoaded())
        form_->ccField->setText(cc_);
}

void MailComposeViewController::setBccRecipients(const QStringList& addresses)
{
    bcc_ = joined(addresses);
    if (isViewLoaded())
        form_->bccField->setText(bcc_);
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
    form_->attachmentNameLabel->setText(attachmentFileName_);
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

void MailComposeViewController::savePressed()
{
}

void MailComposeViewController::sendPressed()
{
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
