#pragma once
// A library of generated songs (ripwell-make-library's) in a fresh folder of
// its own, removed with the object: the set-up test suites share, written
// once per suite.

#include "tests/support/TestSupport.h"
#include "tools/make_library/SongGenerator.h"

#include <QString>
#include <vector>

namespace testsupport {

class GeneratedLibrary {
public:
    // Writes the songs `options` ask for, into the folder itself or into
    // `subfolder` of it.
    explicit GeneratedLibrary(const songgen::Options& options, const QString& subfolder = QString());

    // The library's root (the folder, or its subfolder).
    QString path() const { return root_; }
    QString file(const QString& relative) const { return root_ + u'/' + relative; }
    const std::vector<songgen::Song>& songs() const { return songs_; }
    // Empty when every song was written.
    const QString& error() const { return error_; }

private:
    TempDir dir_;
    QString root_;
    std::vector<songgen::Song> songs_;
    QString error_;
};

} // namespace testsupport
