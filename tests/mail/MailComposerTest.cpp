// The composer as a user drives it, through EmailHelper: Send through msmtp to
// a local SMTP sink (python3-aiosmtpd on 127.0.0.1) and the message read back;
// failing sends, Save, Cancel, invalid addresses and a file that has gone.
#include "Classes/EmailHelper.h"
#include "platform/foundation/Timing.h"
#include "platform/mail/MailComposeViewController.h"
#include "platform/mail/MailDelivery.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using mail::MailComposeResult;
using mail::MailComposeViewController;
using testsupport::processEventsUntil;
using testsupport::TempDir;

namespace {

const QString kBody = QStringLiteral(
    "You agree that you will not use Ripwell in a manner that would infringe or violate the rights of any other "
    "party \nand that the developer of Ripwell is not in any way responsible for any such use by you.");

// The local SMTP server: started on a free port, stopped with the test.
class SmtpSink {
public:
    explicit SmtpSink(const QString& outDir) : outDir_(outDir)
    {
        const QString python = QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
        process_.start(python, {QStringLiteral(RIPWELL_SMTP_SINK), outDir});
        if (!process_.waitForStarted(10000))
            return;
        processEventsUntil([&] { return process_.canReadLine() || process_.state() != QProcess::Running; }, 20000);
        const QByteArray line = process_.readLine().trimmed();
        if (line.startsWith("PORT "))
            port_ = line.mid(5).toInt();
    }
    ~SmtpSink()
    {
        process_.closeWriteChannel();
        if (!process_.waitForFinished(5000)) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }
    int port() const { return port_; }
    QString stderrText() { return QString::fromUtf8(process_.readAllStandardError()); }
    // The n-th message received (1-based), as the sink parsed it.
    QJsonObject message(int n) const
    {
        QFile f(QDir(outDir_).filePath(QStringLiteral("%1.json").arg(n)));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QJsonDocument::fromJson(f.readAll()).object();
    }
    int received() const { return QDir(outDir_).entryList({"*.json"}, QDir::Files).size(); }

private:
    QString outDir_;
    QProcess process_;
    int port_ = 0;
};

class Presenter : public ui::ViewController, public mail::MailComposeViewControllerDelegate {
public:
    void mailComposeController(MailComposeViewController* controller, MailComposeResult result,
                               const QString& error) override
    {
        EXPECT_EQ(controller, modalViewController());
        draftAtReport = controller->savedDraftPath();
        draftExistedAtReport = !draftAtReport.isEmpty() && QFile::exists(draftAtReport);
        results.push_back(result);
        errors << error;
        dismissModalViewControllerAnimated(true);
    }
    std::vector<MailComposeResult> results;
    QStringList errors;
    QString draftAtReport;
    bool draftExistedAtReport = false;
};

class MailComposer : public ::testing::Test {
protected:
    void SetUp() override
    {
        timing::setScale(0.02);
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir_.file("data")));
        qputenv("RIPWELL_MAIL_FROM", "Ripwell Test <ripwell@example.org>");
        presenter_ = new Presenter;
        window_.addSubview(presenter_->view());
        window_.makeKeyAndVisible();
    }
    void TearDown() override
    {
        delete presenter_;
        qunsetenv("RIPWELL_SENDMAIL");
        qunsetenv("RIPWELL_MAIL_FROM");
        qunsetenv("XDG_DATA_HOME");
        timing::setScale(1.0);
    }

    // Points RIPWELL_SENDMAIL at msmtp with a configuration for the sink.
    void useSink(const SmtpSink& sink)
    {
        const QString conf = dir_.file("msmtprc");
        testsupport::writeFile(conf, QStringLiteral("defaults\nauth off\ntls off\n"
                                                    "account sink\nhost 127.0.0.1\nport %1\n"
                                                    "from ripwell@example.org\naccount default : sink\n")
                                         .arg(sink.port())
                                         .toUtf8());
        QFile::setPermissions(conf, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        qputenv("RIPWELL_SENDMAIL", QFile::encodeName("msmtp -C '" + conf + "'"));
    }

    QString writeSong(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir_.file(name);
        EXPECT_TRUE(testsupport::writeFile(path, bytes));
        return path;
    }
    MailComposeViewController* mail(const QString& path, const QString& subject)
    {
        EmailHelper().emailFile(Url::fileURLWithPath(path), subject, presenter_, presenter_);
        auto* composer = qobject_cast<MailComposeViewController*>(presenter_->modalViewController());
        EXPECT_NE(composer, nullptr);
        if (composer) {
            EXPECT_TRUE(processEventsUntil([&] { return composer->view()->isVisible(); }));
        }
        return composer;
    }
    template <class W = QWidget>
    static W* child(MailComposeViewController* c, const char* name)
    {
        W* w = c->view()->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    static void type(MailComposeViewController* c, const char* field, const QString& text)
    {
        auto* edit = child<QLineEdit>(c, field);
        edit->clear();
        QTest::keyClicks(edit, text);
    }
    static void press(MailComposeViewController* c, const char* button)
    {
        QTest::mouseClick(child<QPushButton>(c, button), Qt::LeftButton);
    }
    // Waits for the composer's report; gives up early when a failure alert shows.
    bool waitForResult(std::size_t count = 1)
    {
        return processEventsUntil(
                   [&] {
                       auto* c = qobject_cast<MailComposeViewController*>(presenter_->modalViewController());
                       return presenter_->results.size() >= count || (c && c->failureAlert());
                   },
                   30000)
            && presenter_->results.size() >= count;
    }
    QStringList drafts() const
    {
        return QDir(mail::draftsDirectory()).entryList({"*.eml"}, QDir::Files);
    }

    TempDir dir_;
    ui::Window window_;
    Presenter* presenter_ = nullptr;
};

TEST_F(MailComposer, SendDeliversSubjectBodyAndAttachmentToEveryRecipient)
{
    SmtpSink sink(dir_.file(""));
    ASSERT_GT(sink.port(), 0) << sink.stderrText().toStdString();
    useSink(sink);

    QByteArray bytes;
    for (int i = 0; i < 300000; ++i)
        bytes.append(char(i * 7 + i / 251));
    const QString name = QStringLiteral("Ünïcode Sky – Größe 100%.m4a");
    const QString subject = QStringLiteral("Zoë & the 100% „Straße“ %@ %1");
    MailComposeViewController* composer = mail(writeSong(name, bytes), subject);
    ASSERT_NE(composer, nullptr);
    type(composer, "toField", "Ann Example <ann@example.org>, bob@example.org");
    type(composer, "ccField", "\"Carol, C.\" <carol@example.org>");
    type(composer, "bccField", "dave@example.org");
    press(composer, "sendButton");
    // Sending runs on a worker: the click returns at once with the composer locked.
    EXPECT_TRUE(composer->isSending());
    EXPECT_FALSE(child<QPushButton>(composer, "sendButton")->isEnabled());
    ASSERT_TRUE(waitForResult()) << composer->statusText().toStdString();
    ASSERT_EQ(presenter_->results[0], MailComposeResult::Sent) << presenter_->errors[0].toStdString();
    EXPECT_TRUE(presenter_->errors[0].isEmpty());

    ASSERT_EQ(sink.received(), 1);
    const QJsonObject m = sink.message(1);
    EXPECT_EQ(m["subject"].toString(), subject);
    EXPECT_EQ(m["from"].toString(), "Ripwell Test <ripwell@example.org>");
    EXPECT_TRUE(m["to"].toString().contains("ann@example.org"));
    EXPECT_TRUE(m["cc"].toString().contains("carol@example.org"));
    EXPECT_FALSE(m["has_bcc_header"].toBool()) << "the blind copy shows in the message";
    EXPECT_TRUE(m["has_date"].toBool());
    EXPECT_TRUE(m["has_message_id"].toBool());
    QStringList rcpts;
    for (const auto& r : m["rcpt_tos"].toArray())
        rcpts << r.toString();
    rcpts.sort();
    EXPECT_EQ(rcpts, QStringList({"ann@example.org", "bob@example.org", "carol@example.org", "dave@example.org"}));

    EXPECT_EQ(m["content_type"].toString(), "multipart/mixed");
    const QJsonArray parts = m["parts"].toArray();
    ASSERT_EQ(parts.size(), 2);
    const QJsonObject body = parts[0].toObject();
    EXPECT_EQ(body["content_type"].toString(), "text/html");
    EXPECT_EQ(body["charset"].toString(), "utf-8");
    EXPECT_EQ(body["text"].toString(), kBody);
    const QJsonObject file = parts[1].toObject();
    EXPECT_EQ(file["content_type"].toString(), "audio/aac");
    EXPECT_EQ(file["filename"].toString(), name);
    EXPECT_EQ(file["disposition"].toString(), "attachment");
    EXPECT_EQ(file["transfer_encoding"].toString().toLower(), "base64");
    EXPECT_TRUE(QByteArray::fromBase64(file["data"].toString().toLatin1()) == bytes) << "attachment bytes differ";
    // On the wire: the subject as RFC 2047 words, the file name as RFC 2231 parameters.
    const QByteArray raw = testsupport::readFile(dir_.file("1.eml")).toLower();
    EXPECT_TRUE(raw.contains("subject: =?utf-8?")) << raw.left(600).toStdString();
    const qsizetype attachmentHeaders = raw.indexOf("content-type: audio/aac");
    const qsizetype fileName = raw.indexOf("filename*", attachmentHeaders);
    EXPECT_TRUE(fileName > 0 && raw.mid(fileName, 20).contains("*=utf-8''")) << raw.mid(attachmentHeaders, 400).toStdString();
    EXPECT_TRUE(drafts().isEmpty()) << "a sent message left a draft";
    EXPECT_TRUE(QDir(mail::draftsDirectory()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(MailComposer, AttachmentTypesFollowTheExtension)
{
    SmtpSink sink(dir_.file(""));
    ASSERT_GT(sink.port(), 0);
    useSink(sink);
    const std::pair<const char*, const char*> files[] = {
        {"Song.mp3", "audio/mpeg"}, {"Song.WAV", "audio/wav"}, {"Song.aif", "audio/aiff"},
        {"error.log", "text/plain"}, {"Song.M4A", "audio/aac"},
    };
    int n = 0;
    for (const auto& [name, type] : files) {
        SCOPED_TRACE(name);
        MailComposeViewController* composer = mail(writeSong(name, QByteArray("content of ") + name), name);
        ASSERT_NE(composer, nullptr);
        this->type(composer, "toField", "ann@example.org");
        press(composer, "sendButton");
        ASSERT_TRUE(waitForResult(++n));
        ASSERT_EQ(presenter_->results.back(), MailComposeResult::Sent) << presenter_->errors.back().toStdString();
        const QJsonArray parts = sink.message(n)["parts"].toArray();
        ASSERT_EQ(parts.size(), 2);
        EXPECT_EQ(parts[1].toObject()["content_type"].toString(), type);
        EXPECT_EQ(parts[1].toObject()["filename"].toString(), name);
        EXPECT_TRUE(processEventsUntil([&] { return presenter_->modalViewController() == nullptr; }));
    }
}

TEST_F(MailComposer, FailedSendSavesADraftSaysWhyAndThenReportsFailed)
{
    SmtpSink sink(dir_.file(""));
    ASSERT_GT(sink.port(), 0);
    const QString script = dir_.file("fails.sh");
    testsupport::writeFile(script, "#!/bin/sh\ncat >/dev/null\necho 'relay host unreachable' >&2\nexit 1\n");
    QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    struct Case {
        const char* name;
        std::function<void()> setUp;
        const char* to;
        const char* reason;
    };
    const Case cases[] = {
        {"no sendmail program", [] { qputenv("RIPWELL_SENDMAIL", "/nonexistent/sendmail"); }, "ann@example.org",
         "could not be started"},
        {"exit status 1", [&] { qputenv("RIPWELL_SENDMAIL", QFile::encodeName(script)); }, "ann@example.org",
         "relay host unreachable"},
        {"refused recipient", [&] { useSink(sink); }, "refused@example.org", "refused@example.org"},
    };
    std::size_t n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.setUp();
        const QStringList before = drafts();
        MailComposeViewController* composer = mail(writeSong("Song.mp3", "abc"), QString("Draft %1").arg(n));
        ASSERT_NE(composer, nullptr);
        type(composer, "toField", c.to);
        press(composer, "sendButton");
        ASSERT_TRUE(processEventsUntil([&] { return composer->failureAlert() && composer->failureAlert()->isVisible(); },
                                       30000))
            << composer->statusText().toStdString();
        // The reason is on screen and the draft on disk before anything is reported.
        EXPECT_EQ(presenter_->results.size(), n);
        EXPECT_TRUE(composer->failureAlert()->message().contains(c.reason))
            << composer->failureAlert()->message().toStdString();
        EXPECT_TRUE(child<QLabel>(composer, "statusLabel")->text().contains("drafts"));
        ASSERT_EQ(drafts().size(), before.size() + 1);
        QAbstractButton* ok = composer->failureAlert()->buttonAtIndex(0);
        ASSERT_NE(ok, nullptr);
        QTest::mouseClick(ok, Qt::LeftButton);
        ASSERT_TRUE(waitForResult(++n));
        EXPECT_EQ(presenter_->results.back(), MailComposeResult::Failed);
        EXPECT_TRUE(presenter_->errors.back().contains(c.reason)) << presenter_->errors.back().toStdString();
        EXPECT_TRUE(presenter_->draftExistedAtReport);
        const QByteArray draft = testsupport::readFile(presenter_->draftAtReport);
        EXPECT_TRUE(draft.contains(QByteArray("To: ") + c.to)) << draft.left(400).toStdString();
        EXPECT_TRUE(processEventsUntil([&] { return presenter_->modalViewController() == nullptr; }));
    }
    EXPECT_EQ(sink.received(), 0);
}

TEST_F(MailComposer, SaveWritesADraftAndCancelWritesNothing)
{
    qputenv("RIPWELL_SENDMAIL", "/nonexistent/sendmail");
    MailComposeViewController* composer = mail(writeSong("Song.wav", "RIFF"), "Song.wav");
    ASSERT_NE(composer, nullptr);
    type(composer, "bccField", "dave@example.org");
    press(composer, "saveButton");
    ASSERT_TRUE(waitForResult(1));
    EXPECT_EQ(presenter_->results[0], MailComposeResult::Saved);
    EXPECT_TRUE(presenter_->errors[0].isEmpty());
    ASSERT_EQ(drafts(), QStringList({"Song.wav.eml"}));
    const QByteArray draft = testsupport::readFile(QDir(mail::draftsDirectory()).filePath("Song.wav.eml"));
    EXPECT_TRUE(draft.contains("Bcc: dave@example.org")) << "a draft keeps its blind copies";
    EXPECT_TRUE(draft.contains("Content-Type: audio/wav"));
    ASSERT_TRUE(processEventsUntil([&] { return presenter_->modalViewController() == nullptr; }));

    // A second draft of the same name does not replace the first.
    composer = mail(writeSong("Song.wav", "RIFF"), "Song.wav");
    ASSERT_NE(composer, nullptr);
    press(composer, "saveButton");
    ASSERT_TRUE(waitForResult(2));
    EXPECT_EQ(drafts(), QStringList({"Song.wav 2.eml", "Song.wav.eml"}));
    ASSERT_TRUE(processEventsUntil([&] { return presenter_->modalViewController() == nullptr; }));

    composer = mail(writeSong("Song.wav", "RIFF"), "Song.wav");
    ASSERT_NE(composer, nullptr);
    type(composer, "toField", "ann@example.org");
    press(composer, "cancelButton");
    ASSERT_TRUE(waitForResult(3));
    EXPECT_EQ(presenter_->results[2], MailComposeResult::Cancelled);
    EXPECT_EQ(drafts().size(), 2);
}

TEST_F(MailComposer, InvalidAddressesAreNamedAndNothingIsSent)
{
    SmtpSink sink(dir_.file(""));
    ASSERT_GT(sink.port(), 0);
    useSink(sink);
    MailComposeViewController* composer = mail(writeSong("Song.mp3", "abc"), "Song");
    ASSERT_NE(composer, nullptr);
    auto* status = child<QLabel>(composer, "statusLabel");

    press(composer, "sendButton");
    EXPECT_TRUE(status->text().contains("recipient")) << status->text().toStdString();

    for (const auto& [field, text, bad] :
         {std::tuple{"toField", "ann@example.org, bob at example.org", "bob at example.org"},
          std::tuple{"toField", "ann@", "ann@"}, std::tuple{"ccField", "<carol@example.org", "<carol@example.org"},
          std::tuple{"bccField", "dave@example..org", "dave@example..org"}}) {
        type(composer, "toField", "ann@example.org");
        type(composer, "ccField", "");
        type(composer, "bccField", "");
        type(composer, field, text);
        press(composer, "sendButton");
        EXPECT_TRUE(status->text().contains(bad)) << text << ": " << status->text().toStdString();
        press(composer, "saveButton");
        EXPECT_TRUE(status->text().contains(bad)) << text;
        EXPECT_FALSE(composer->isSending());
    }
    processEventsUntil([] { return false; }, 200); // nothing may arrive meanwhile
    EXPECT_TRUE(presenter_->results.empty());
    EXPECT_EQ(sink.received(), 0);
    EXPECT_TRUE(drafts().isEmpty());
    press(composer, "cancelButton");
    ASSERT_EQ(presenter_->results.size(), 1u);
    EXPECT_TRUE(processEventsUntil([&] { return presenter_->modalViewController() == nullptr; }));
}

TEST_F(MailComposer, AFileThatCannotBeReadIsNotAttachedAndTheMailStillGoes)
{
    SmtpSink sink(dir_.file(""));
    ASSERT_GT(sink.port(), 0);
    useSink(sink);
    MailComposeViewController* composer = mail(dir_.file("Removed after a failed run.mp3"), "Artist");
    ASSERT_NE(composer, nullptr);
    EXPECT_FALSE(composer->hasAttachment());
    EXPECT_TRUE(child(composer, "attachmentView")->isHidden());
    EXPECT_TRUE(child<QLabel>(composer, "statusLabel")->text().contains("could not be attached"));
    type(composer, "toField", "ann@example.org");
    press(composer, "sendButton");
    ASSERT_TRUE(waitForResult());
    EXPECT_EQ(presenter_->results[0], MailComposeResult::Sent) << presenter_->errors[0].toStdString();
    ASSERT_TRUE(processEventsUntil([&] { return presenter_->modalViewController() == nullptr; }));
    const QJsonObject m = sink.message(1);
    EXPECT_EQ(m["content_type"].toString(), "text/html");
    EXPECT_EQ(m["parts"].toArray()[0].toObject()["text"].toString(), kBody) << testsupport::readFile(dir_.file("1.eml")).toStdString();
}

TEST_F(MailComposer, AFileRemovedWhileTheComposerIsOpenIsDroppedAndTheUserCanSendAgain)
{
    SmtpSink sink(dir_.file(""));
    ASSERT_GT(sink.port(), 0);
    useSink(sink);
    const QString song = writeSong("Song.mp3", "abc");
    MailComposeViewController* composer = mail(song, "Song.mp3");
    ASSERT_NE(composer, nullptr);
    ASSERT_TRUE(composer->hasAttachment());
    ASSERT_TRUE(QFile::remove(song));
    type(composer, "toField", "ann@example.org");
    press(composer, "sendButton");
    // The message cannot be built: the composer stays, with what was typed.
    ASSERT_TRUE(processEventsUntil([&] { return !composer->isSending(); }, 30000));
    EXPECT_TRUE(presenter_->results.empty());
    EXPECT_FALSE(composer->hasAttachment());
    EXPECT_TRUE(child<QLabel>(composer, "statusLabel")->text().contains("Song.mp3"));
    EXPECT_EQ(child<QLineEdit>(composer, "toField")->text(), "ann@example.org");
    EXPECT_TRUE(child<QPushButton>(composer, "sendButton")->isEnabled());
    press(composer, "sendButton");
    ASSERT_TRUE(waitForResult());
    EXPECT_EQ(presenter_->results[0], MailComposeResult::Sent);
    EXPECT_EQ(sink.received(), 1);
}

} // namespace
