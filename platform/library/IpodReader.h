#pragma once
// Reading an iPod's database with libgpod, in the process that calls it, and
// the text form in which ripwell-read-ipod hands the result to the program.
// The program itself reads through medialibrary::ipod::readDatabase(), which
// runs ripwell-read-ipod: only that helper links libgpod.

#include "platform/library/IpodDatabase.h"

#include <QByteArray>

namespace medialibrary::ipod {

// What went wrong, in a form the program words for people in its own language.
struct ReadError {
    ReadFailure failure = ReadFailure::None;
    QString file;   // the database file, or the folder when there is none
    QString detail; // libgpod's own words, where it has any
};

// Reads the database in `folder` with libgpod (itdb_parse). Opens files for
// reading only. On failure returns nothing and fills `error`.
std::optional<Database> readWithLibgpod(const QString& folder, ReadError* error);

// What ripwell-read-ipod prints: the database, or the error (QDataStream).
QByteArray serialize(const Database& database);
QByteArray serialize(const ReadError& error);
// Its reading: the database, or else the error; anything that is not whole is Damaged.
std::optional<Database> deserialize(const QByteArray& bytes, ReadError* error);

// The error in words, in the language of the program.
QString describe(const ReadError& error);

} // namespace medialibrary::ipod
