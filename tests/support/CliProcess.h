#pragma once
// Runs the ripwell-cli that the test's target names (RIPWELL_CLI_PATH) as a
// user would from a shell, and hands back what it said.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <functional>

namespace testsupport {

struct CliResult {
    int exitCode = -1; // -1 when it crashed or ran over two minutes
    QString out, err;
};

// Changes the environment the run gets (a locale, a cache folder).
using CliEnvironment = std::function<void(QProcessEnvironment&)>;

// ripwell-cli with `args`, without the library and documents folder the
// caller's own environment may name; `input` goes to its standard input,
// which is then closed.
inline CliResult runCli(const QStringList& args, const CliEnvironment& environment = {}, const QByteArray& input = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("RIPWELL_LIBRARY");
    env.remove("RIPWELL_DOCUMENTS");
    if (environment)
        environment(env);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(RIPWELL_CLI_PATH), args);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

} // namespace testsupport
