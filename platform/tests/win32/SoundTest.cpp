// The stand-in's PlaySoundW: which files it accepts and the playing state it keeps.
#include <windows.h>
#include <mmsystem.h>

#include "standin/Sound.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

void appendWord(std::string& bytes, uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A mono 16-bit PCM wave of the given number of seconds at 8 kHz.
std::string waveFile(uint32_t seconds) {
    uint32_t dataSize = seconds * 16000;
    std::string bytes = "RIFF";
    appendWord(bytes, 36 + dataSize, 4);
    bytes += "WAVEfmt ";
    appendWord(bytes, 16, 4);
    appendWord(bytes, 1, 2);     // PCM
    appendWord(bytes, 1, 2);     // channels
    appendWord(bytes, 8000, 4);  // samples per second
    appendWord(bytes, 16000, 4); // bytes per second
    appendWord(bytes, 2, 2);     // block alignment
    appendWord(bytes, 16, 2);    // bits per sample
    bytes += "data";
    appendWord(bytes, dataSize, 4);
    bytes.append(dataSize, '\0');
    return bytes;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        standin::resetSound();
        folder = std::filesystem::temp_directory_path() / ("standin-sound-" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override {
        std::filesystem::remove_all(folder);
        standin::resetSound();
    }
    std::wstring write(const std::string& name, const std::string& bytes) {
        std::ofstream(folder / name, std::ios::binary) << bytes;
        return (folder / name).wstring();
    }
    std::filesystem::path folder;
};

constexpr DWORD MUSIC_FLAGS = SND_FILENAME | SND_LOOP | SND_ASYNC;

TEST_F(SoundTest, LoopingMusicPlaysUntilStoppedAndRestartsFromTheBeginning) {
    std::wstring music = write("music.wav", waveFile(1));
    EXPECT_EQ(MUSIC_FLAGS, 0x20009u);
    ASSERT_TRUE(PlaySoundW(music.c_str(), nullptr, MUSIC_FLAGS));
    standin::SoundState state = standin::soundState();
    EXPECT_TRUE(state.playing);
    EXPECT_TRUE(state.looping);
    EXPECT_EQ(state.file, music);
    EXPECT_EQ(state.starts, 1u);

    EXPECT_TRUE(PlaySoundW(nullptr, nullptr, 0));
    state = standin::soundState();
    EXPECT_FALSE(state.playing);
    EXPECT_EQ(state.file, music) << "the last sound is still named";

    ASSERT_TRUE(PlaySoundW(music.c_str(), nullptr, MUSIC_FLAGS));
    EXPECT_TRUE(standin::soundState().playing);
    EXPECT_EQ(standin::soundState().starts, 2u);
}

TEST_F(SoundTest, EveryCallIsKeptWithItsArgumentsFailedOnesToo) {
    std::wstring music = write("music.wav", waveFile(1));
    HMODULE module = GetModuleHandleW(nullptr);
    PlaySoundW(music.c_str(), nullptr, MUSIC_FLAGS);
    PlaySoundW(nullptr, module, 0);
    PlaySoundW(L"missing.wav", nullptr, SND_FILENAME | SND_ASYNC);
    const std::vector<standin::SoundCall> expected = {
        {false, music, nullptr, MUSIC_FLAGS},
        {true, L"", module, 0},
        {false, L"missing.wav", nullptr, SND_FILENAME | SND_ASYNC}};
    EXPECT_EQ(standin::soundCalls(), expected);
    standin::resetSound();
    EXPECT_TRUE(standin::soundCalls().empty());
}

TEST_F(SoundTest, FilesThatAreNotWavesFailAndStopWhatPlays) {
    std::wstring music = write("music.wav", waveFile(1));
    std::string noData = waveFile(0).substr(0, 36);
    std::string truncated = waveFile(1).substr(0, 100);
    std::string wrongForm = waveFile(1);
    wrongForm.replace(8, 4, "AVI ");
    struct Case {
        const char* name;
        std::wstring path;
    };
    for (const Case& bad : {Case{"missing", (folder / "missing.wav").wstring()},
                            Case{"text", write("text.wav", "not a sound at all")},
                            Case{"wrong form", write("form.wav", wrongForm)},
                            Case{"no data chunk", write("nodata.wav", noData)},
                            Case{"chunk past the end", write("short.wav", truncated)}}) {
        ASSERT_TRUE(PlaySoundW(music.c_str(), nullptr, MUSIC_FLAGS));
        EXPECT_FALSE(PlaySoundW(bad.path.c_str(), nullptr, MUSIC_FLAGS)) << bad.name;
        EXPECT_FALSE(standin::soundState().playing) << bad.name;
    }
}

TEST_F(SoundTest, LoopingNeedsAsynchronousPlayAndASynchronousSoundHasEndedOnReturn) {
    std::wstring music = write("music.wav", waveFile(1));
    EXPECT_FALSE(PlaySoundW(music.c_str(), nullptr, SND_FILENAME | SND_LOOP));
    EXPECT_TRUE(PlaySoundW(music.c_str(), nullptr, SND_FILENAME | SND_SYNC));
    EXPECT_FALSE(standin::soundState().playing);
    EXPECT_FALSE(standin::soundState().looping);
}

TEST_F(SoundTest, BackslashesSeparateFolders) {
    write("music.wav", waveFile(1));
    std::wstring windowsPath = folder.wstring() + L"\\music.wav";
    EXPECT_TRUE(PlaySoundW(windowsPath.c_str(), nullptr, MUSIC_FLAGS));
}

} // namespace
