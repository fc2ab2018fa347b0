#pragma once
#include <QString>

// Writes a short MP3 file of a tone: `seconds` long, `hz` pitch, 44.1 kHz stereo at
// 128 kbit/s, encoded with libavcodec. False when the encoder is missing or the file cannot
// be written (nothing is left behind then).
bool WriteToneMp3(const QString& path, double seconds, double hz);
