#include "platform/foundation/Documents.h"

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

QString documentsDirectory()
{
    QString dir = fromEnvironment("RIPWELL_DOCUMENTS");
    if (dir.isEmpty()) {
        QString base = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (base.isEmpty())
            base = QDir::homePath() + QStringLiteral("/Documents");
        dir = absoluteClean(path::appendingComponent(base, QStringLiteral("Ripwell")));
    }
    QDir().mkpath(dir);
    return dir;
}

QString musicLibraryRoot()
{
    QString dir = fromEnvironment("RIPWELL_LIBRARY");
    if (dir.isEmpty()) {
        QString base = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
        if (base.isEmpty())
            base = QDir::homePath() + QStringLiteral("/Music");
        dir = absoluteClean(base);
    }
    return dir;
}

bool libraryIsInsideDocuments(const QString& libraryRoot, const QString& documentsDir)
{
    auto resolved = [](const QString& p) {
        const QString canonical = QFileInfo(p).canonicalFilePath();
        return canonical.isEmpty() ? absoluteClean(p) : canonical;
    };
    const QString root = resolved(libraryRoot);
    const QString docs = resolved(documentsDir);
    if (root.isEmpty() || docs.isEmpty())
        return false;
    return root == docs || root.startsWith(docs == u"/" ? docs : docs + u'/');
}

} // namespace documents
