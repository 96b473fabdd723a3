#include "cli/TerminalDisplay.h"

#include "cli/CliOptions.h"
#include "platform/foundation/Localization.h"

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <sys/ioctl.h>
#include <unistd.h>

namespace cli {

namespace {

int terminalWidth()
{
    winsize ws{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 10)
        return ws.ws_col;
    return 80;
}

} // namespace

void printErr(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
    std::fflush(stderr);
}

QString nameOf(const medialibrary::MediaItem& item)
{
    return printable(item.artist().isEmpty() ? item.displayTitle()
                                             : QStringLiteral("%1 – %2").arg(item.artist(), item.displayTitle()));
}

void TerminalDisplay::progress(float itemFraction)
{
    percent_ = static_cast<int>(run_->batchFraction(itemFraction) * 100.0f);
    redraw();
}

void TerminalDisplay::currentItem()
{
    const std::uint32_t index = run_->currentItemIndex();
    if (index == shownIndex_)
        return;
    shownIndex_ = index;
    const auto item = run_->itemAtIndex(index);
    artist_ = printable(item.artist());
    title_ = printable(item.displayTitle());
    redraw();
}

void TerminalDisplay::itemEnded(std::uint32_t index, const ItemOutcome& outcome)
{
    const auto item = run_->itemAtIndex(index);
    if (outcome.result == ItemResult::UpToDate) {
        ++upToDateCount_;
        if (verbose_)
            printAbove(L("up to date: %1").arg(nameOf(item)));
        return;
    }
    const bool converted = outcome.result == ItemResult::Converted;
    convertedCount_ += converted ? 1 : 0;
    // The run's own reason is no line of the import's: it is shown here.
    if (outcome.error && outcome.error->kind() == Error::Kind::FolderNotMade && !verbose_)
        printAbove(printable(applog::formatLine(applog::Level::Error, ConversionRun::kLogOperation, outcome.reason())));
    if (!tty_) {
        // One line per song when the output is a file or a pipe.
        printErr(QStringLiteral("[%1/%2] %3\n")
                     .arg(QString::number(index + 1), QString::number(run_->mediaItems().count()),
                          converted ? nameOf(item) : L("failed: %1").arg(nameOf(item))));
        return;
    }
    if (!converted)
        printAbove(L("failed: %1").arg(nameOf(item)));
}

void TerminalDisplay::runEnded(std::uint32_t)
{
    percent_ = 100;
    redraw();
    if (tty_ && drawn_)
        printErr(QStringLiteral("\n"));
    drawn_ = false;
    ended_ = true;
}

void TerminalDisplay::completionOffered(std::uint32_t)
{
    QCoreApplication::exit(0);
}

void TerminalDisplay::logEntry(const applog::Entry& entry)
{
    if (!verbose_ && (entry.level != applog::Level::Error ||
                      std::strcmp(entry.operation, ConversionRun::kLogOperation) == 0))
        return;
    printAbove(printable(entry.line())); // lines carry titles: no raw control characters
}

void TerminalDisplay::printAbove(const QString& line)
{
    clearLine();
    printErr(line + u'\n');
    redraw();
}

void TerminalDisplay::clearLine()
{
    if (tty_ && drawn_)
        printErr(QStringLiteral("\r\033[K"));
}

void TerminalDisplay::redraw()
{
    if (!tty_ || !run_ || ended_)
        return;
    const unsigned count = static_cast<unsigned>(run_->mediaItems().count());
    const unsigned number = std::min(run_->currentItemIndex() + 1, count);
    printErr(QStringLiteral("\r\033[K") + progressLine(percent_, number, count, artist_, title_, terminalWidth() - 1));
    drawn_ = true;
}

} // namespace cli
