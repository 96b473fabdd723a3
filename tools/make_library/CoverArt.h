#pragma once
#include <QByteArray>
#include <cstdint>

namespace songgen {

struct Cover {
    QByteArray data;   // encoded image
    QByteArray mime;   // "image/jpeg" or "image/png"
};

// A square picture of our own drawing, the same for the same seed.
Cover drawCover(std::uint32_t seed, int size = 300);

} // namespace songgen
