#pragma once
// Path-string operations with the rules the rest of the application expects:
// one "/" between components, trailing slashes ignored, and a leading period
// that is a name's only period is part of the name, not an extension.

#include <QString>

namespace path {

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
