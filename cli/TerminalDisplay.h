#pragma once
// How ripwell-cli shows a run on stderr: a progress bar redrawn in place on a
// terminal, one line a song otherwise; the songs that fail, and the errors the
// import logs, above it.

#include "Classes/ConversionRun.h"
#include "platform/foundation/Log.h"

#include <QString>
#include <cstddef>
#include <cstdint>

namespace cli {

// Writes `text` to stderr at once, as UTF-8.
void printErr(const QString& text);

// "Artist – Title" (the title alone without an artist), fit for a terminal.
QString nameOf(const medialibrary::MediaItem& item);

class TerminalDisplay : public ConversionDisplay {
public:
    // `tty`: stderr is a terminal. `verbose`: every log line is shown, and
    // every song that is up to date named.
    TerminalDisplay(bool tty, bool verbose) : tty_(tty), verbose_(verbose) {}
    void attach(const ConversionRun* run) { run_ = run; }

    void progress(float itemFraction) override;
    void currentItem() override;
    void itemEnded(std::uint32_t index, const ItemOutcome& outcome) override;
    void runEnded(std::uint32_t failedItemCount) override;
    void completionOffered(std::uint32_t failedItemCount) override;

    // A line of the log, shown above the progress bar: without --verbose,
    // only the import's errors (the run's own say what itemEnded() shows).
    // Main thread.
    void logEntry(const applog::Entry& entry);

    std::size_t convertedCount() const { return convertedCount_; }
    std::size_t upToDateCount() const { return upToDateCount_; }

private:
    void printAbove(const QString& line);
    void clearLine();
    void redraw();

    bool tty_;
    bool verbose_;
    const ConversionRun* run_ = nullptr;
    int percent_ = 0;
    std::uint32_t shownIndex_ = ConversionRun::kNoItem;
    QString artist_, title_;
    bool drawn_ = false;
    bool ended_ = false;
    std::size_t convertedCount_ = 0;
    std::size_t upToDateCount_ = 0;
};

} // namespace cli
