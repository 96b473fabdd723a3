#include "Classes/EmailHelper.h"
#include "platform/foundation/Timing.h"
#include "platform/mail/MailComposeViewController.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "tests/support/TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

using mail::MailComposeResult;
using mail::MailComposeViewController;
using testsupport::processEventsUntil;
using testsupport::TempDir;

namespace {

const QString kBody = QStringLiteral(
    "You agree that you will not use Ripwell in a manner that would infringe or violate the rights of any other "
    "party \nand that the developer of Ripwell is not in any way responsible for any such use by you.");

// The presenting screen: records the outcome and dismisses the composer.
class Presenter : public ui::ViewController, public mail::MailComposeViewControllerDelegate {
public:
    void mailComposeController(MailComposeViewController* controller, MailComposeResult result,
                               const QString& error) override
    {
        EXPECT_EQ(controller, modalViewController());
        results.push_back(result);
        errors << error;
        dismissModalViewControllerAnimated(true);
    }
    std::vector<MailComposeResult> results;
    QStringList errors;
};

class MailFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        timing::setScale(0.02);
        presenter_ = new Presenter;
        window_.addSubview(presenter_->view());
        window_.makeKeyAndVisible();
    }
    void TearDown() override
    {
        delete presenter_;
        timing::setScale(1.0);
    }
    // Mails `path` and waits until the composer is on screen.
    MailComposeViewController* mail(const QString& path, const QString& subject)
    {
        EmailHelper().emailFile(Url::fileURLWithPath(path), subject, presenter_, presenter_);
        auto* composer = qobject_cast<MailComposeViewController*>(presenter_->modalViewController());
        EXPECT_NE(composer, nullptr);
        if (composer) {
            EXPECT_TRUE(processEventsUntil(
                [&] { return composer->view()->isVisible() && presenter_->view()->isHidden(); }));
        }
        return composer;
    }
    template <class W>
    static W* child(MailComposeViewController* c, const char* name)
    {
        W* w = c->view()->findChild<W*>(QString::fromLatin1(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }

    TempDir dir_;
    ui::Window window_;
    Presenter* presenter_ = nullptr;
};

TEST(MailMimeTypes, ByExtensionWithoutRegardToCase)
{
    const std::pair<const char*, const char*> table[] = {
        {"mp3", "audio/mpeg"}, {"MP3", "audio/mpeg"}, {"m4a", "audio/aac"},  {"M4A", "audio/aac"},
        {"wav", "audio/wav"},  {"aif", "audio/aiff"}, {"AIFF", "audio/aiff"}, {"log", "text/plain"},
        {"flac", "audio/flac"}, {"ogg", "audio/ogg"}, {"opus", "audio/opus"}, {"txt", "application/octet-stream"},
        {"", "application/octet-stream"},
    };
    for (const auto& [ext, type] : table)
        EXPECT_EQ(EmailHelper::mimeTypeForExtension(ext), type) << ext;
}

TEST_F(MailFile, ComposerShowsSubjectBodyAndAttachmentAndCancelReportsCancelled)
{
    const QString song = dir_.file("Ünter 100% Sky.m4a");
    ASSERT_TRUE(testsupport::writeFile(song, QByteArray(2048, 'a')));
    MailComposeViewController* composer = mail(song, "Ünter 100% Sky.m4a");
    ASSERT_NE(composer, nullptr);
    EXPECT_EQ(composer->mailComposeDelegate(), presenter_);
    EXPECT_EQ(child<QLineEdit>(composer, "subjectField")->text(), "Ünter 100% Sky.m4a");
    for (const char* field : {"toField", "ccField", "bccField"})
        EXPECT_TRUE(child<QLineEdit>(composer, field)->text().isEmpty()) << field;
    EXPECT_EQ(composer->messageBody(), kBody);
    EXPECT_TRUE(composer->isBodyHTML());
    EXPECT_TRUE(child<QTextBrowser>(composer, "bodyView")->toPlainText().startsWith("You agree"));
    EXPECT_EQ(child<QLabel>(composer, "attachmentNameLabel")->text(), "Ünter 100% Sky.m4a");
    EXPECT_EQ(composer->attachmentMimeType(), "audio/aac");
    EXPECT_EQ(composer->attachmentSize(), 2048);
    EXPECT_TRUE(composer->statusText().isEmpty());

    QPointer<MailComposeViewController> guard = composer;
    QTest::mouseClick(child<QPushButton>(composer, "cancelButton"), Qt::LeftButton);
    ASSERT_EQ(presenter_->results.size(), 1u);
    EXPECT_EQ(presenter_->results[0], MailComposeResult::Cancelled);
    EXPECT_TRUE(presenter_->errors[0].isEmpty());
    EXPECT_TRUE(processEventsUntil([&] { return guard.isNull(); }));
    EXPECT_TRUE(presenter_->view()->isVisible());
}

TEST_F(MailFile, UnreadableFileOpensTheComposerWithoutAttachment)
{
    MailComposeViewController* composer = mail(dir_.file("Removed.mp3"), "Artist");
    ASSERT_NE(composer, nullptr);
    EXPECT_FALSE(composer->hasAttachment());
    EXPECT_TRUE(child<QWidget>(composer, "attachmentView")->isHidden());
    EXPECT_TRUE(child<QLabel>(composer, "statusLabel")->text().contains("Removed.mp3"));
    QTest::mouseClick(child<QPushButton>(composer, "cancelButton"), Qt::LeftButton);
    ASSERT_EQ(presenter_->results.size(), 1u);
}

} // namespace
