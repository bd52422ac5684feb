#include "WavWriter.h"

#include "Math.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace sample {
namespace {

struct Chord {
    float notes[3]; // Hz
};

// A minor, F major, C major, G major: two seconds each, overlapping by a second.
constexpr Chord CHORDS[] = {
    {{220.00f, 261.63f, 329.63f}},
    {{174.61f, 220.00f, 261.63f}},
    {{130.81f, 196.00f, 329.63f}},
    {{196.00f, 246.94f, 293.66f}},
};
constexpr float CHORD_SPACING = 2.0f;
constexpr float CHORD_LENGTH = 3.0f;

// A mellow tone: the fundamental with two quiet overtones and a slow vibrato-free shimmer from a detuned
// copy.
float tone(float frequency, float time) {
    auto wave = [time](float f) { return std::sin(2.0f * PI * f * time); };
    return 0.62f * wave(frequency) + 0.18f * wave(frequency * 1.003f) + 0.14f * wave(frequency * 2.0f) +
           0.06f * wave(frequency * 3.0f);
}

void put(std::vector<uint8_t>& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i) {
        bytes.push_back(uint8_t(value >> (8 * i)));
    }
}

} // namespace

std::vector<int16_t> synthesizeMusic() {
    const uint32_t frames = uint32_t(MUSIC_SECONDS * float(MUSIC_SAMPLE_RATE));
    std::vector<int16_t> samples(size_t(frames) * MUSIC_CHANNELS);
    for (uint32_t frame = 0; frame < frames; ++frame) {
        const float t = float(frame) / float(MUSIC_SAMPLE_RATE);
        float left = 0, right = 0;
        for (size_t c = 0; c < std::size(CHORDS); ++c) {
            // Each chord's time runs from half a second before its slot, taken around the loop, so the
            // chord that rings across the end of the loop continues at its start.
            float local = t - (float(c) * CHORD_SPACING - 0.5f);
            local -= MUSIC_SECONDS * std::floor(local / MUSIC_SECONDS);
            if (local >= CHORD_LENGTH) {
                continue;
            }
            float envelope = std::pow(std::sin(PI * local / CHORD_LENGTH), 2.0f);
            for (int n = 0; n < 3; ++n) {
                float voice = envelope * tone(CHORDS[c].notes[n], local);
                float pan = 0.3f + 0.2f * float(n); // notes spread a little from left to right
                left += voice * (1.0f - pan);
                right += voice * pan;
            }
        }
        // Quiet: three notes of two overlapping chords peak well below full scale.
        samples[size_t(frame) * 2] = int16_t(std::lround(std::clamp(left * 0.12f, -1.0f, 1.0f) * 32767.0f));
        samples[size_t(frame) * 2 + 1] =
            int16_t(std::lround(std::clamp(right * 0.12f, -1.0f, 1.0f) * 32767.0f));
    }
    return samples;
}

void writeWav(const std::filesystem::path& path, const std::vector<int16_t>& samples, uint32_t sampleRate,
              uint16_t channels) {
    const uint32_t dataBytes = uint32_t(samples.size() * sizeof(int16_t));
    std::vector<uint8_t> bytes;
    bytes.insert(bytes.end(), {'R', 'I', 'F', 'F'});
    put(bytes, 36 + dataBytes, 4);
    bytes.insert(bytes.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(bytes, 16, 4); // format chunk size
    put(bytes, 1, 2);  // PCM
    put(bytes, channels, 2);
    put(bytes, sampleRate, 4);
    put(bytes, sampleRate * channels * 2, 4); // bytes per second
    put(bytes, uint32_t(channels) * 2, 2);    // bytes per frame
    put(bytes, 16, 2);                        // bits per sample
    bytes.insert(bytes.end(), {'d', 'a', 't', 'a'});
    put(bytes, dataBytes, 4);
    for (int16_t sample : samples) {
        put(bytes, uint16_t(sample), 2);
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

} // namespace sample
