#pragma once
// The application log. Each call writes one line to stderr, prefixed with the
// time and the process ("2026-12-08 17:01:02.345 ripwell[4711] "), followed by
// the line as the application formats it: "[ERROR] [conversionLoop] message".
// Tests capture the formatted lines (without the prefix) through a sink.

#include <QString>
#include <functional>

namespace applog {

enum class Level { Debug, Error };

// "[DEBUG] [operation] message" or "[ERROR] [operation] message".
QString formatLine(Level level, const char* operation, const QString& message);

void write(Level level, const char* operation, const QString& message);
inline void debug(const char* operation, const QString& message) { write(Level::Debug, operation, message); }
inline void error(const char* operation, const QString& message) { write(Level::Error, operation, message); }

// One line of the log, as written.
struct Entry {
    Level level;
    const char* operation;
    QString message;
    QString line() const { return formatLine(level, operation, message); }
};

// Receives every line, on the thread that wrote it. An empty function
// removes the sink. While a sink is set, stderr still gets the line unless
// `alsoStderr` is false.
using Sink = std::function<void(const Entry& entry)>;
void setSink(Sink sink, bool alsoStderr = false);

// Stops or resumes the stderr copy of every line (the command-line front end
// keeps the terminal for its progress display and sends the log elsewhere).
void setStderrEnabled(bool enabled);

} // namespace applog
