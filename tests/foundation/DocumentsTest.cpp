#include "platform/foundation/Documents.h"
#include "tests/support/TestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

TEST(Documents, EnvironmentChoosesTheFoldersAndDocumentsAreCreated)
{
    testsupport::TempDir tmp;
    const QString docs = tmp.file("deep/er/Docs/");
    qputenv("RIPWELL_DOCUMENTS", docs.toUtf8());
    qputenv("RIPWELL_LIBRARY", tmp.file("Music").toUtf8());
    EXPECT_EQ(documents::documentsDirectory(), tmp.file("deep/er/Docs"));
    EXPECT_TRUE(QDir(tmp.file("deep/er/Docs")).exists());
    EXPECT_EQ(documents::musicLibraryRoot(), tmp.file("Music"));
    EXPECT_FALSE(QDir(tmp.file("Music")).exists()) << "the library root is only read";
    qunsetenv("RIPWELL_DOCUMENTS");
    qunsetenv("RIPWELL_LIBRARY");
}

TEST(Documents, DefaultIsARipwellFolderInTheUsersDocuments)
{
    testsupport::TempDir home;
    const QByteArray oldHome = qgetenv("HOME");
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DOCUMENTS_DIR", home.file("Documents").toUtf8());
    qputenv("XDG_CONFIG_HOME", home.file(".config").toUtf8());
    const QString docs = documents::documentsDirectory();
    EXPECT_TRUE(docs.endsWith("/Ripwell")) << docs.toStdString();
    EXPECT_TRUE(docs.startsWith(home.path())) << docs.toStdString();
    EXPECT_TRUE(QDir(docs).exists());
    qputenv("HOME", oldHome);
    qunsetenv("XDG_DOCUMENTS_DIR");
    qunsetenv("XDG_CONFIG_HOME");
}

} // namespace
