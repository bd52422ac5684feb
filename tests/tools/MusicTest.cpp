// data/music.wav is a short, quiet, seamlessly looping PCM file that the platform's sound player accepts.
#include "SampleData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using namespace sample_test;

TEST(SampleMusic, IsAQuietSeamlessPcmLoop) {
    const std::vector<uint8_t> file = readFile(dataFolder() / "music.wav");
    ASSERT_GE(file.size(), 44u);
    auto tag = [&](size_t offset) {
        return std::string(file.begin() + long(offset), file.begin() + long(offset) + 4);
    };
    auto u16 = [&](size_t offset) { return uint32_t(file[offset] | file[offset + 1] << 8); };
    EXPECT_EQ(tag(0), "RIFF");
    EXPECT_EQ(readU32(file, 4), file.size() - 8);
    EXPECT_EQ(tag(8), "WAVE");
    EXPECT_EQ(tag(12), "fmt ");
    EXPECT_EQ(readU32(file, 16), 16u);
    EXPECT_EQ(u16(20), 1u) << "PCM";
    const uint32_t channels = u16(22), rate = readU32(file, 24), bits = u16(34);
    ASSERT_TRUE(channels == 1 || channels == 2);
    ASSERT_EQ(bits, 16u);
    EXPECT_GE(rate, 8000u);
    EXPECT_LE(rate, 96000u);
    EXPECT_EQ(u16(32), channels * 2) << "block align";
    EXPECT_EQ(readU32(file, 28), rate * channels * 2) << "byte rate";
    EXPECT_EQ(tag(36), "data");
    const uint32_t dataBytes = readU32(file, 40);
    ASSERT_EQ(dataBytes, file.size() - 44);
    const size_t frames = dataBytes / (2 * channels);
    const double seconds = double(frames) / rate;
    EXPECT_GE(seconds, 2.0);
    EXPECT_LE(seconds, 30.0);

    auto sample = [&](size_t frame, size_t channel) {
        return int(int16_t(u16(44 + (frame * channels + channel) * 2)));
    };
    int peak = 0, largestStep = 0;
    double energy = 0;
    for (size_t frame = 0; frame < frames; ++frame) {
        for (size_t channel = 0; channel < channels; ++channel) {
            const int s = sample(frame, channel);
            peak = std::max(peak, std::abs(s));
            energy += double(s) * s;
            if (frame > 0) {
                largestStep = std::max(largestStep, std::abs(s - sample(frame - 1, channel)));
            }
        }
    }
    EXPECT_LT(peak, 32767 / 2) << "soft";
    EXPECT_GT(std::sqrt(energy / double(frames * channels)), 300.0) << "audible";
    // Looping back from the last frame to the first is no larger a step than the music makes anyway.
    for (size_t channel = 0; channel < channels; ++channel) {
        EXPECT_LE(std::abs(sample(0, channel) - sample(frames - 1, channel)), largestStep);
    }
}
