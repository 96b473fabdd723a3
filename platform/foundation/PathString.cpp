#include "platform/foundation/PathString.h"

#include <algorithm>

namespace path {

namespace {

constexpr char16_t kEscapeBase = 0xDC00; // U+DC80..U+DCFF carry the bytes 0x80..0xFF

// Length of the valid UTF-8 sequence at `at`, or 0 when there is none.
qsizetype utf8SequenceAt(const QByteArray& bytes, qsizetype at)
{
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    qsizetype length = 0;
    char32_t code = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (qsizetype i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    // Overlong forms, surrogates and code points beyond Unicode are not UTF-8.
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool isEscapedByte(QChar c)
{
    return c.unicode() >= kEscapeBase + 0x80 && c.unicode() <= kEscapeBase + 0xFF;
}

} // namespace

QString fromNative(const QByteArray& bytes)
{
    QString out;
    out.reserve(bytes.size());
    qsizetype i = 0;
    while (i < bytes.size()) {
        // Runs of plain ASCII are most of every path.
        qsizetype run = i;
        while (run < bytes.size() && static_cast<unsigned char>(bytes[run]) < 0x80)
            ++run;
        if (run > i) {
            out += QLatin1String(bytes.constData() + i, run - i);
            i = run;
            continue;
        }
        if (const qsizetype length = utf8SequenceAt(bytes, i)) {
            out += QString::fromUtf8(bytes.constData() + i, length);
            i += length;
        } else {
            out += QChar(char16_t(kEscapeBase + static_cast<unsigned char>(bytes[i])));
            ++i;
        }
    }
    return out;
}

QByteArray native(const QString& path)
{
    if (!hasUndecodableBytes(path))
        return path.toUtf8();
    QByteArray out;
    out.reserve(path.size() * 3);
    qsizetype from = 0;
    for (qsizetype i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !isEscapedByte(path[i]))
            continue;
        out += QStringView(path).mid(from, i - from).toUtf8();
        if (i < path.size())
            out += char(path[i].unicode() - kEscapeBase);
        from = i + 1;
    }
    return out;
}

bool hasUndecodableBytes(const QString& path)
{
    return std::any_of(path.cbegin(), path.cend(), isEscapedByte);
}

QString displayed(const QString& path)
{
    if (!hasUndecodableBytes(path))
        return path;
    QString out;
    for (QChar c : path) {
        if (isEscapedByte(c))
            out += QString::asprintf("\\x%02X", unsigned(c.unicode() - kEscapeBase));
        else
            out += c;
    }
    return out;
}

QString standardizedSlashes(const QString& p)
{
    if (!p.contains(QLatin1String("//")) && !(p.size() > 1 && p.endsWith(u'/')))
        return p; // most paths: nothing to do
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
