// Small media files made in code, for the tests and the benchmark of the
// metadata unit: real images and sound that a decoder accepts, of any size,
// without an image library.
#pragma once

#include <QByteArray>

namespace testsupport {

// A baseline JPEG of AWidth x AHeight grey pixels (1 to 65535 each): one
// component, every 8x8 block a flat mid-grey. No Exif, no JFIF thumbnail.
QByteArray GreyJpeg(int AWidth, int AHeight);

// A PNG of AWidth x AHeight grey pixels, 8-bit greyscale, stored without
// compression (keep it small: the data is AWidth * AHeight bytes).
QByteArray GreyPng(int AWidth, int AHeight);

// A WAV file of ASamples silent 16-bit mono samples at 8000 Hz, no tags.
QByteArray SilentWav(int ASamples);

} // namespace testsupport
