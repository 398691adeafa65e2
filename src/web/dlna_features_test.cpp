#include "web/dlna_features.h"

#include <gtest/gtest.h>

namespace vidoria {
namespace {

mp4::MediaFacts Video(const char (&codec)[5], uint8_t profile, uint8_t constraints, uint32_t width,
                      uint32_t height, const char (&audio)[5], uint32_t channels) {
  mp4::MediaFacts facts;
  facts.videoCodec = mp4::MakeFourCC(codec);
  facts.avcProfile = profile;
  facts.avcConstraints = constraints;
  facts.width = width;
  facts.height = height;
  facts.audioCodec = mp4::MakeFourCC(audio);
  facts.channels = channels;
  return facts;
}

TEST(DlnaFeaturesTest, ProfileOnlyWhereTheFileFitsOne) {
  struct Case {
    mp4::MediaFacts facts;
    const char* profile;
  } cases[] = {
      {Video("avc1", 100, 0, 1920, 1080, "mp4a", 2), "AVC_MP4_HP_HD_AAC"},
      {Video("avc1", 100, 0, 1280, 720, "mp4a", 6), "AVC_MP4_HP_HD_AAC"},
      {Video("avc1", 77, 0, 720, 576, "mp4a", 2), "AVC_MP4_MP_SD_AAC_MULT5"},
      {Video("avc1", 66, 0x40, 640, 360, "mp4a", 2), "AVC_MP4_MP_SD_AAC_MULT5"},
      {Video("avc3", 77, 0, 1280, 720, "mp4a", 2), "AVC_MP4_MP_HD_720p_AAC"},
      // Beyond every profile: 4K, main profile at 1080, baseline with tools main lacks.
      {Video("avc1", 100, 0, 3840, 2160, "mp4a", 2), ""},
      {Video("avc1", 77, 0, 1920, 1080, "mp4a", 2), ""},
      {Video("avc1", 66, 0, 640, 360, "mp4a", 2), ""},
      // Other codecs, other sound, no sound, more channels than AAC profiles allow.
      {Video("hvc1", 0, 0, 1920, 1080, "mp4a", 2), ""},
      {Video("mp4v", 0, 0, 640, 480, "mp4a", 2), ""},
      {Video("avc1", 100, 0, 1920, 1080, "ac-3", 6), ""},
      {Video("avc1", 100, 0, 1920, 1080, "\0\0\0\0", 0), ""},
      {Video("avc1", 100, 0, 1920, 1080, "mp4a", 8), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DlnaProfileOf(c.facts), c.profile)
        << mp4::FourCCName(c.facts.videoCodec) << " " << int(c.facts.avcProfile) << " "
        << c.facts.width << "x" << c.facts.height << " " << c.facts.channels;
  }
}

TEST(DlnaFeaturesTest, FeaturesNameTheProfileWhenThereIsOne) {
  const mp4::MediaFacts hd = Video("avc1", 100, 0, 1920, 1080, "mp4a", 2);
  EXPECT_EQ(VideoProtocolInfo(&hd),
            "http-get:*:video/mp4:DLNA.ORG_PN=AVC_MP4_HP_HD_AAC;DLNA.ORG_OP=01;DLNA.ORG_CI=0;"
            "DLNA.ORG_FLAGS=01700000000000000000000000000000");
  const mp4::MediaFacts other = Video("mp4v", 0, 0, 640, 480, "mp4a", 2);
  EXPECT_EQ(DlnaContentFeatures(&other), DlnaContentFeatures(nullptr));
  EXPECT_EQ(DlnaContentFeatures(nullptr),
            "DLNA.ORG_OP=01;DLNA.ORG_CI=0;DLNA.ORG_FLAGS=01700000000000000000000000000000");
}

}  // namespace
}  // namespace vidoria
