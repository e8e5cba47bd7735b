#pragma once
// Sound for tests: a tone encoded by the command-line encoders the set-up
// installs.
#include <cstdint>
#include <vector>

// `seconds` of a 441 Hz tone at 44.1 kHz stereo as an Ogg Vorbis ("ogg") or
// MP3 ("mp3") stream. Its temporary files are removed again.
std::vector<uint8_t> encodedTone(double seconds, const char* format);
