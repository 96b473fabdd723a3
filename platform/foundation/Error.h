#pragma once
// What went wrong, as one value: its kind, the call that failed and the
// system's detail. It is made where the failure happens and carried as it is
// to the log, error.log, the alerts and the command line. The log shows the
// call and the detail ("avformat_open_input: Invalid data found when
// processing input"); the user reads the words of its kind, in their language
// ("the song's file is damaged, …").

#include <QString>
#include <QStringList>
#include <optional>

class Error {
public:
    enum class Kind : quint8 {
        Other,            // the detail is all there is to say (the system's text, or a sentence of ours)
        Cancelled,        // stopped on request: no fault of the song
        SongNotInLibrary, // the library hands out no readable song under the URL
        FileGone,         // the song's file is not there
        Truncated,        // the song's file ends before its audio does
        Damaged,          // no whole song, or audio that cannot be copied as it is
        FormatChanged,    // subjects: the format the song was listed in, the one it is in now
        NoLongerAudio,    // subject: the format the song was listed in
        DiskFull,
        PermissionDenied,
        Protected,        // the song is copy-protected
        Unfinished,       // the conversion ended without a result and without a cause
        FolderNotMade,    // the detail is a sentence for the user that names the folder
        LibraryGone,      // the disk the library lies on has gone (an iPod unplugged)
    };

    // `code`: the FFmpeg error code (AVERROR) behind the failure, where there
    // is one. `subjects` fill the placeholders of the kind's words.
    Error(Kind kind, QString failingCall, QString detail, std::optional<int> code = std::nullopt,
          QStringList subjects = {})
        : kind_(kind), failingCall_(std::move(failingCall)), detail_(std::move(detail)), code_(code),
          subjects_(std::move(subjects))
    {
    }

    Kind kind() const { return kind_; }
    // The call that failed: an FFmpeg, TagLib or system function, or the
    // name of one of our own steps ("export", "importAsset", "rename").
    const QString& failingCall() const { return failingCall_; }
    // The system's words for FFmpeg and system failures, else a sentence.
    const QString& detail() const { return detail_; }
    std::optional<int> code() const { return code_; }
    const QStringList& subjects() const { return subjects_; }

    // "call: detail", the text the log shows.
    QString localizedDescription() const { return failingCall_ + QStringLiteral(": ") + detail_; }
    // What went wrong in the user's words and language, by its kind; the
    // detail itself for the kinds that have no words of their own.
    QString plainWords() const;

    friend bool operator==(const Error& a, const Error& b)
    {
        return a.kind_ == b.kind_ && a.failingCall_ == b.failingCall_ && a.detail_ == b.detail_ && a.code_ == b.code_ &&
               a.subjects_ == b.subjects_;
    }

private:
    Kind kind_;
    QString failingCall_;
    QString detail_;
    std::optional<int> code_;
    QStringList subjects_;
};
