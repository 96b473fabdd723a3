#include "platform/foundation/Documents.h"

#include "platform/foundation/Localization.h"
#include "platform/foundation/PathString.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace documents {

static QString absoluteClean(const QString& p)
{
    return path::standardizedSlashes(QDir::cleanPath(QDir::current().absoluteFilePath(p)));
}

static QString fromEnvironment(const char* name)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString() : absoluteClean(value);
}

static bool hasHome()
{
    const QString home = qEnvironmentVariable("HOME");
    return !home.isEmpty() && QDir::isAbsolutePath(home);
}

// The desktop's folder of `kind`, or empty when there is no home to find it in
// and `xdgVariable` does not name an absolute folder.
static QString desktopFolder(QStandardPaths::StandardLocation kind, const char* xdgVariable, const char* inHome)
{
    if (!hasHome()) {
        const QString xdg = qEnvironmentVariable(xdgVariable);
        return QDir::isAbsolutePath(xdg) ? absoluteClean(xdg) : QString();
    }
    QString base = QStandardPaths::writableLocation(kind);
    if (base.isEmpty())
        base = QDir::homePath() + QLatin1Char('/') + QLatin1String(inHome);
    return absoluteClean(base);
}

QString documentsDirectory()
{
    QString dir = fromEnvironment("RIPWELL_DOCUMENTS");
    if (dir.isEmpty()) {
        const QString base = desktopFolder(QStandardPaths::DocumentsLocation, "XDG_DOCUMENTS_DIR", "Documents");
        if (base.isEmpty())
            return {};
        dir = absoluteClean(path::appendingComponent(base, QStringLiteral("Ripwell")));
    }
    QDir().mkpath(dir);
    return dir;
}

QString musicLibraryRoot()
{
    const QString dir = fromEnvironment("RIPWELL_LIBRARY");
    return dir.isEmpty() ? desktopFolder(QStandardPaths::MusicLocation, "XDG_MUSIC_DIR", "Music") : dir;
}

QString absolutePath(const QString& path)
{
    return absoluteClean(path);
}

QString locationProblem(bool library, bool documents)
{
    QStringList unknown;
    if (library && musicLibraryRoot().isEmpty())
        unknown << L("the music library (set RIPWELL_LIBRARY)");
    if (documents && fromEnvironment("RIPWELL_DOCUMENTS").isEmpty() &&
        desktopFolder(QStandardPaths::DocumentsLocation, "XDG_DOCUMENTS_DIR", "Documents").isEmpty())
        unknown << L("the documents folder (set RIPWELL_DOCUMENTS)");
    if (unknown.isEmpty())
        return {};
    return L("HOME is not set to an absolute folder, so there is no telling where %1 is")
        .arg(unknown.join(L(" or ")));
}

static QString resolved(const QString& p)
{
    const QString canonical = QFileInfo(p).canonicalFilePath();
    return canonical.isEmpty() ? absoluteClean(p) : canonical;
}

bool isSameFolder(const QString& a, const QString& b)
{
    return !a.isEmpty() && !b.isEmpty() && resolved(a) == resolved(b);
}

bool libraryIsInsideDocuments(const QString& libraryRoot, const QString& documentsDir)
{
    if (libraryRoot.isEmpty() || documentsDir.isEmpty())
        return false;
    const QString root = resolved(libraryRoot);
    const QString docs = resolved(documentsDir);
    if (root.isEmpty() || docs.isEmpty())
        return false;
    return root == docs || root.startsWith(docs == u"/" ? docs : docs + u'/');
}

} // namespace documents
