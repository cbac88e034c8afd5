// Small media files written by the content-viewer tests: a two-frame GIF, an
// animated cursor made of icons, and a sine-wave WAV.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QList>

#include <cstdint>
#include <vector>

namespace mediatest {

// A GIF89a of `width` x `height` with one frame per colour, each shown for
// `delay` hundredths of a second; palette index 3 is transparent.
QByteArray TwoColorGif(int width, int height, const QList<QColor>& frames, int delay);

// An icon (.ico bytes) of one colour.
QByteArray Icon(int size, const QColor& color);

// A RIFF "ACON" file; rates and sequence are left out when empty.
QByteArray AniFile(const std::vector<QByteArray>& frames, uint32_t displayRate,
                   const std::vector<uint32_t>& rates, const std::vector<uint32_t>& sequence);

// Mono 16-bit PCM at 8 kHz, a 440 Hz tone of `ms` milliseconds.
QByteArray ToneWav(int ms);

}  // namespace mediatest
