#include "platform/foundation/PathString.h"

namespace path {

QString standardizedSlashes(const QString& p)
{
    QString out;
    out.reserve(p.size());
    for (QChar c : p) {
        if (c == u'/' && out.endsWith(u'/'))
            continue;
        out.append(c);
    }
    if (out.size() > 1 && out.endsWith(u'/'))
        out.chop(1);
    return out;
}

QString appendingComponent(const QString& base, const QString& component)
{
    if (base.isEmpty())
        return standardizedSlashes(component);
    if (component.isEmpty())
        return standardizedSlashes(base);
    return standardizedSlashes(base + u'/' + component);
}

QString deletingLastComponent(const QString& p)
{
    const QString s = standardizedSlashes(p);
    if (s == u"/")
        return s;
    const qsizetype slash = s.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    return s.left(slash);
}

QString lastComponent(const QString& p)
{
    const QString s = standardizedSlashes(p);
    if (s == u"/")
        return s;
    return s.mid(s.lastIndexOf(u'/') + 1);
}

// Index of the extension's period within the last component, or -1.
static qsizetype extensionDot(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? dot : -1; // a period at index 0 starts a hidden name
}

QString extension(const QString& p)
{
    const QString name = lastComponent(p);
    if (name == u"/")
        return QString();
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QString deletingExtension(const QString& p)
{
    const QString s = standardizedSlashes(p);
    if (s == u"/")
        return s;
    const QString name = lastComponent(s);
    const qsizetype dot = extensionDot(name);
    if (dot < 0)
        return s;
    return s.left(s.size() - name.size() + dot);
}

QString appendingExtension(const QString& p, const QString& ext)
{
    const QString s = standardizedSlashes(p);
    if (ext.isEmpty())
        return s;
    return s + u'.' + ext;
}

} // namespace path
