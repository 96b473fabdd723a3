#pragma once
// Path-string operations with the rules the rest of the application expects:
// one "/" between components, trailing slashes ignored, and a leading period
// that is a name's only period is part of the name, not an extension.

#include <QByteArray>
#include <QString>

namespace path {

// File names on Linux are bytes, not always UTF-8. A path read from the file
// system becomes text with fromNative(): valid UTF-8 as it reads, every other
// byte b as the lone surrogate U+DC00 + b, which no valid text holds. native()
// turns such text back into the very same bytes, so a song whose name is not
// UTF-8 can still be opened, and the two are each other's inverse. Use them
// in place of QFile::encodeName() and decodeName(), which lose those bytes.
QString fromNative(const QByteArray& bytes);
QByteArray native(const QString& path);

// Whether `path` holds bytes that are not UTF-8 (see fromNative()).
bool hasUndecodableBytes(const QString& path);

// `path` for a reader: every byte that is not UTF-8 written as "\xNN".
QString displayed(const QString& path);

// "a" + "b" -> "a/b"; "a/" + "/b" -> "a/b"; "" + "b" -> "b"; "/" + "b" -> "/b".
// Runs of slashes collapse to one and a trailing slash is dropped (except a lone "/").
QString appendingComponent(const QString& base, const QString& component);

// "/tmp/a.txt" -> "/tmp"; "/tmp/" -> "/"; "/tmp" -> "/"; "/" -> "/"; "a.txt" -> "".
QString deletingLastComponent(const QString& path);

// "/tmp/a.txt" -> "a.txt"; "/tmp/" -> "tmp"; "/" -> "/"; "" -> "".
QString lastComponent(const QString& path);

// "/tmp/a.txt" -> "txt"; "a.b.c" -> "c"; ".hidden" -> ""; "/tmp/" -> "".
QString extension(const QString& path);

// "/tmp/a.txt" -> "/tmp/a"; "a..txt" -> "a."; ".hidden" -> ".hidden"; "/tmp/" -> "/tmp".
QString deletingExtension(const QString& path);

// "/tmp/a" + "mp3" -> "/tmp/a.mp3"; "/tmp/a/" + "mp3" -> "/tmp/a.mp3".
QString appendingExtension(const QString& path, const QString& ext);

// Collapses runs of "/" and drops a trailing one (a lone "/" stays).
QString standardizedSlashes(const QString& path);

} // namespace path
