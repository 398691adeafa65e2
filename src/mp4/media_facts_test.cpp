#include "mp4/media_facts.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "mp4/test_support.h"
#include "platform/command_output_for_tests.h"

namespace vidoria::mp4 {
namespace {

using test_support::TempFolder;

// What the command prints, without its final line break.
std::string Output(const std::string& command) {
  std::string out = CommandOutput(command);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

// One value as ffprobe reads it from the file.
std::string Probe(const std::string& path, const std::string& stream, const std::string& entry) {
  const std::string select = stream.empty()
                                 ? "-show_entries format=" + entry
                                 : "-select_streams " + stream + " -show_entries stream=" + entry;
  return Output("ffprobe -v error " + select + " -of default=nw=1:nk=1 '" + path + "'");
}

// Real files from ffmpeg, each checked against what ffprobe reads from the same file.
TEST(MediaFactsTest, ReadsWhatFfprobeReads) {
  if (Output("ffmpeg -version >/dev/null 2>&1 && ffprobe -version >/dev/null 2>&1 && echo yes") !=
      "yes") {
    GTEST_SKIP() << "ffmpeg and ffprobe are not on PATH";
  }
  const bool x264 = Output("ffmpeg -hide_banner -encoders").find(" libx264 ") != std::string::npos;
  TempFolder folder;
  struct Case {
    const char* name;
    std::string arguments;  // after the inputs
    bool sound;
  } cases[] = {
      {"main.mp4",
       x264 ? "-c:v libx264 -pix_fmt yuv420p -profile:v main -preset veryfast -c:a aac -ac 2 -ar "
              "44100"
            : "-c:v mpeg4 -c:a aac -ac 2 -ar 44100",
       true},
      {"high.mp4",
       x264 ? "-c:v libx264 -pix_fmt yuv420p -profile:v high -preset veryfast -c:a aac -ac 6 -ar "
              "48000 -movflags +faststart"
            : "-c:v mpeg4 -c:a aac -ac 6 -ar 48000 -movflags +faststart",
       true},
      {"silent.mp4", "-c:v mpeg4 -an", false},
  };
  for (const Case& c : cases) {
    const std::string path = folder / c.name;
    const std::string made = Output(
        "ffmpeg -v error -y -f lavfi -i testsrc=duration=3.5:size=352x288:rate=25 -f lavfi"
        " -i sine=duration=3.5 " +
        c.arguments + " '" + path + "' 2>&1; echo $?");
    ASSERT_EQ(made, "0") << made;
    const auto facts = ReadMediaFacts(path);
    ASSERT_TRUE(facts) << c.name << ": " << facts.Reason();
    const double probed = std::atof(Probe(path, "", "duration").c_str());
    EXPECT_NEAR(facts->durationMs / 1000.0, probed, 0.05) << c.name;
    EXPECT_EQ(std::to_string(facts->fileSize), Probe(path, "", "size")) << c.name;
    EXPECT_EQ(std::to_string(facts->width), Probe(path, "v:0", "width")) << c.name;
    EXPECT_EQ(std::to_string(facts->height), Probe(path, "v:0", "height")) << c.name;
    EXPECT_EQ(FourCCName(facts->videoCodec), Probe(path, "v:0", "codec_tag_string")) << c.name;
    if (FourCCName(facts->videoCodec) == "avc1") {
      const std::string profile = Probe(path, "v:0", "profile");
      EXPECT_EQ(facts->avcProfile, profile == "High" ? 100 : profile == "Main" ? 77 : 66) << c.name;
      EXPECT_EQ(std::to_string(facts->avcLevel), Probe(path, "v:0", "level")) << c.name;
    }
    if (c.sound) {
      EXPECT_EQ(std::to_string(facts->channels), Probe(path, "a:0", "channels")) << c.name;
      EXPECT_EQ(std::to_string(facts->sampleRate), Probe(path, "a:0", "sample_rate")) << c.name;
      EXPECT_EQ(FourCCName(facts->audioCodec), "mp4a") << c.name;
    } else {
      EXPECT_EQ(facts->audioCodec, 0u) << c.name;
    }
  }
}

TEST(MediaFactsTest, WhatIsNoMp4HasNoFacts) {
  TempFolder folder;
  const std::string text = folder / "notes.mp4";
  test_support::WriteFile(text, "just some text, no boxes at all");
  EXPECT_FALSE(ReadMediaFacts(text));
  const std::string noMovie = folder / "nomoov.mp4";
  test_support::WriteFile(noMovie, test_support::MakeFtyp() + test_support::MakeBox("mdat", "xx"));
  EXPECT_FALSE(ReadMediaFacts(noMovie));
  EXPECT_FALSE(ReadMediaFacts(folder / "missing.mp4"));
}

}  // namespace
}  // namespace vidoria::mp4
