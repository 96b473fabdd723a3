#include "platform/mail/MailDelivery.h"
#include "platform/mail/MailMessage.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

using testsupport::TempDir;

namespace {

TEST(MailAddresses, ListsSplitOnlyBetweenEntries)
{
    EXPECT_EQ(mail::firstInvalidAddress(""), "");
    EXPECT_EQ(mail::firstInvalidAddress("  "), "");
    EXPECT_EQ(mail::firstInvalidAddress("ann@example.org"), "");
    EXPECT_EQ(mail::firstInvalidAddress("Ann <ann@example.org>; bob@mail.example.org,"), "");
    // Commas inside quotes and comments belong to the name.
    EXPECT_EQ(mail::firstInvalidAddress("\"Doe, Jane\" <jane@example.org>, x@y.org (Ex, Why)"), "");
    EXPECT_EQ(mail::firstInvalidAddress("\"Zoë \\\"Z\\\" Müller\" <zoe@example.org>"), "");
    EXPECT_EQ(mail::addressCount("\"Doe, Jane\" <jane@example.org>, x@y.org"), 2);

    for (const char* bad : {"ann", "ann@", "@example.org", "ann example@org", "ann@exa mple.org", "<ann@example.org",
                            "ann@example..org", "ann@.example.org", "Group: a@b.org;"})
        EXPECT_FALSE(mail::firstInvalidAddress(QString::fromUtf8(bad)).isEmpty()) << bad;
    EXPECT_EQ(mail::firstInvalidAddress("ann@example.org, bob, carol@example.org"), "bob");
}

TEST(MailSetup, SenderAndSendmailCommandFromTheEnvironment)
{
    qputenv("RIPWELL_MAIL_FROM", "Ann <ann@example.org>");
    EXPECT_EQ(mail::defaultSender(), "Ann <ann@example.org>");
    qunsetenv("RIPWELL_MAIL_FROM");
    const QString fallback = mail::defaultSender();
    EXPECT_TRUE(mail::firstInvalidAddress(fallback).isEmpty()) << fallback.toStdString();
    EXPECT_TRUE(fallback.contains('@'));

    qunsetenv("RIPWELL_SENDMAIL");
    EXPECT_EQ(mail::sendmailCommand(), QStringList({"sendmail", "-t", "-i"}));
    qputenv("RIPWELL_SENDMAIL", "msmtp -C '/tmp/my config' --account=work");
    EXPECT_EQ(mail::sendmailCommand(), QStringList({"msmtp", "-C", "/tmp/my config", "--account=work", "-t", "-i"}));
    qunsetenv("RIPWELL_SENDMAIL");
}

TEST(MailMessage, UnreadableAttachmentOrTakenPathFailsWithoutLeavingOrReplacingFiles)
{
    TempDir dir;
    mail::MailDraft draft;
    draft.from = "ann@example.org";
    draft.to = "bob@example.org";
    draft.subject = "S";
    draft.body = "B";
    draft.attachmentPath = dir.file("gone.mp3");
    draft.attachmentFileName = "gone.mp3";
    QString error;
    EXPECT_FALSE(mail::writeMessage(draft, dir.file("out.eml"), &error));
    EXPECT_TRUE(error.contains("gone.mp3")) << error.toStdString();
    EXPECT_FALSE(QFile::exists(dir.file("out.eml")));

    draft.attachmentPath.clear();
    ASSERT_TRUE(testsupport::writeFile(dir.file("taken.eml"), "keep me"));
    EXPECT_FALSE(mail::writeMessage(draft, dir.file("taken.eml"), &error));
    EXPECT_EQ(testsupport::readFile(dir.file("taken.eml")), "keep me");

    draft.from = "not an address";
    EXPECT_FALSE(mail::writeMessage(draft, dir.file("bad-from.eml"), &error));
    EXPECT_TRUE(error.contains("not an address"));
}

} // namespace
