// The background music: a soft chord loop written as a RIFF/WAVE PCM file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace sample {

constexpr uint32_t MUSIC_SAMPLE_RATE = 44100;
constexpr uint16_t MUSIC_CHANNELS = 2;
constexpr float MUSIC_SECONDS = 8.0f;

// Interleaved 16-bit stereo samples of the loop; its end joins its start without a click.
std::vector<int16_t> synthesizeMusic();

// A canonical 44-byte RIFF/WAVE header (PCM, 16-bit) followed by the samples.
void writeWav(const std::filesystem::path& path, const std::vector<int16_t>& samples, uint32_t sampleRate,
              uint16_t channels);

} // namespace sample
