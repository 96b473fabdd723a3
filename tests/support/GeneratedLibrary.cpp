#include "tests/support/GeneratedLibrary.h"

namespace testsupport {

GeneratedLibrary::GeneratedLibrary(const songgen::Options& options, const QString& subfolder)
    : root_(subfolder.isEmpty() ? dir_.path() : dir_.file(subfolder))
{
    songs_ = songgen::makeLibrary(root_, options, &error_);
}

} // namespace testsupport
