#pragma once
// What went wrong in an export: the failing call and the reason, as one text
// for the log ("avformat_open_input: Invalid data found when processing input").

#include <QString>

class ExportError {
public:
    // `reasonIsPlain`: the reason is a sentence for the user already, in
    // their language.
    ExportError(QString failingCall, int code, QString reason, bool reasonIsPlain = false)
        : failingCall_(std::move(failingCall)), code_(code), reason_(std::move(reason)), plain_(reasonIsPlain) {}

    // The call that failed: an FFmpeg or TagLib function, or "export" for the
    // service's own checks.
    const QString& failingCall() const { return failingCall_; }
    // An FFmpeg error code (AVERROR) where there is one, else -1.
    int code() const { return code_; }
    // av_strerror()'s text for FFmpeg failures, else a sentence.
    const QString& reason() const { return reason_; }
    // "call: reason", the text that the log shows.
    QString localizedDescription() const { return failingCall_ + QStringLiteral(": ") + reason_; }
    // What went wrong in the user's words and language ("the disk is full",
    // "the song's file ends before its audio does"), for error.log and the
    // screens; the reason itself where no plainer words are known.
    QString plainWords() const;

private:
    QString failingCall_;
    int code_;
    QString reason_;
    bool plain_;
};
