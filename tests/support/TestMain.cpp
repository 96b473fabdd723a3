// Test entry: a Qt application object (offscreen) around the GoogleTest run.
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt wants a private runtime folder; CI and fresh shells have none.
    QTemporaryDir runtimeDir(QDir::tempPath() + QStringLiteral("/ripwell-runtime-XXXXXX"));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtimeDir.path()));
    // The library indexes of the tests (and of the programs they start) stay
    // with the test, out of the user's cache.
    QTemporaryDir cacheDir(QDir::tempPath() + QStringLiteral("/ripwell-cache-XXXXXX"));
    if (cacheDir.isValid())
        qputenv("XDG_CACHE_HOME", QFile::encodeName(cacheDir.path()));
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
