#include "platform/mail/MailDelivery.h"

#include "platform/foundation/Localization.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUuid>

namespace mail {

namespace {

// How long the sendmail command may take before it is given up.
constexpr int kDeliveryTimeoutMs = 10 * 60 * 1000;

// A name for the draft from the subject: no path separators or control
// characters, at most 80 characters.
QString draftBaseName(const QString& subject)
{
    QString name;
    for (QChar c : subject.simplified()) {
        if (c.category() == QChar::Other_Control || QStringLiteral("/\\:*?\"<>|").contains(c))
            name += u'_';
        else
            name += c;
    }
    name = name.left(80).trimmed();
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    return name.isEmpty() ? QStringLiteral("Draft") : name;
}

// Writes the message to a new hidden file in the drafts folder.
bool buildMessage(const MailDraft& draft, QString* path, QString* error)
{
    const QString dir = draftsDirectory();
    if (!QDir().mkpath(dir)) {
        *error = L("The drafts folder \"%1\" could not be created.").arg(dir);
        return false;
    }
    *path = QDir(dir).filePath(QStringLiteral(".outgoing-%1.eml").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)));
    return writeMessage(draft, *path, error);
}

// Moves a written message into the drafts folder under a name of its own;
// never replaces an existing draft.
QString keepAsDraft(const QString& messagePath, const QString& subject, QString* error)
{
    const QDir dir(draftsDirectory());
    const QString base = draftBaseName(subject);
    for (int n = 1; n < 10000; ++n) {
        const QString name = n == 1 ? base + QStringLiteral(".eml") : QStringLiteral("%1 %2.eml").arg(base).arg(n);
        const QString target = dir.filePath(name);
        if (QFileInfo::exists(target))
            continue;
        if (QFile::rename(messagePath, target))
            return target;
        if (!QFileInfo::exists(target)) // not a name taken meanwhile: renaming itself fails
            break;
    }
    *error = L("The message could not be saved in the drafts folder \"%1\".").arg(dir.path());
    return QString();
}

// The last lines the command wrote to its error output, for the reason.
QString diagnostics(const QByteArray& stderrBytes)
{
    QStringList lines = QString::fromLocal8Bit(stderrBytes).split(u'\n', Qt::SkipEmptyParts);
    for (QString& l : lines)
        l = l.trimmed();
    lines.removeAll(QString());
    return lines.mid(qMax(0, lines.size() - 3)).join(u'\n').left(400);
}

// Hands the message file to the sendmail command; returns the reason of a
// failure, or an empty string when the command accepted the message.
QString deliver(const QString& messagePath)
{
    const QStringList command = sendmailCommand();
    QProcess process;
    process.setStandardInputFile(messagePath);
    process.start(command.first(), command.mid(1));
    if (!process.waitForStarted(30000)) {
        return L("The mail could not be sent because the program \"%1\" could not be started. "
                 "Set RIPWELL_SENDMAIL to a sendmail-compatible program.")
            .arg(command.first());
    }
    if (!process.waitForFinished(kDeliveryTimeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return L("The mail could not be sent: \"%1\" did not finish.").arg(command.first());
    }
    const QString details = diagnostics(process.readAllStandardError());
    if (process.exitStatus() != QProcess::NormalExit)
        return L("The mail could not be sent: \"%1\" stopped unexpectedly.").arg(command.first());
    if (process.exitCode() != 0) {
        QString reason = L("The mail could not be sent: \"%1\" ended with status %2.")
                             .arg(command.first())
                             .arg(process.exitCode());
        if (!details.isEmpty())
            reason += u'\n' + details;
        return reason;
    }
    return QString();
}

// Splits a command line into words as a POSIX shell does for plain words:
// blanks separate, single quotes keep everything, double quotes keep all but
// a backslash before " \\ $ or `, and a backslash outside quotes keeps the
// next character.
QStringList splitCommandLine(const QString& line)
{
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (c == u'\'') {
            inWord = true;
            for (++i; i < line.size() && line.at(i) != u'\''; ++i)
                word += line.at(i);
        } else if (c == u'"') {
            inWord = true;
            for (++i; i < line.size() && line.at(i) != u'"'; ++i) {
                if (line.at(i) == u'\\' && i + 1 < line.size() && QStringLiteral("\"\\$`").contains(line.at(i + 1)))
                    ++i;
                word += line.at(i);
            }
        } else if (c == u'\\' && i + 1 < line.size()) {
            inWord = true;
            word += line.at(++i);
        } else if (c.isSpace()) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            inWord = true;
            word += c;
        }
    }
    if (inWord)
        words << word;
    return words;
}

} // namespace

QString draftsDirectory()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Ripwell/Drafts"));
}

QStringList sendmailCommand()
{
    QStringList command = splitCommandLine(qEnvironmentVariable("RIPWELL_SENDMAIL"));
    if (command.isEmpty())
        command << QStringLiteral("sendmail");
    command << QStringLiteral("-t") << QStringLiteral("-i");
    return command;
}

MailOutcome sendMail(const MailDraft& draft)
{
    MailOutcome outcome;
    QString path;
    if (!buildMessage(draft, &path, &outcome.reason))
        return outcome;
    outcome.reason = deliver(path);
    if (outcome.reason.isEmpty()) {
        outcome.ok = true;
        QFile::remove(path); // our own hidden copy of what was sent
        return outcome;
    }
    QString keepError;
    outcome.draftPath = keepAsDraft(path, draft.subject, &keepError);
    if (outcome.draftPath.isEmpty()) {
        // The composer stays open with the message, so the hidden copy goes.
        QFile::remove(path);
        outcome.reason += u'\n' + keepError;
    }
    return outcome;
}

MailOutcome saveDraft(const MailDraft& draft)
{
    MailOutcome outcome;
    QString path;
    if (!buildMessage(draft, &path, &outcome.reason))
        return outcome;
    outcome.draftPath = keepAsDraft(path, draft.subject, &outcome.reason);
    outcome.ok = !outcome.draftPath.isEmpty();
    if (!outcome.ok)
        QFile::remove(path); // the composer stays open with the message
    return outcome;
}

} // namespace mail
