#include "web/dlna_features.h"

namespace vidoria {

namespace {

constexpr uint8_t kAvcBaseline = 66;
constexpr uint8_t kAvcMain = 77;
constexpr uint8_t kAvcHigh = 100;
// constraint_set1: a baseline stream any main-profile decoder plays.
constexpr uint8_t kAvcConstrainedToMain = 0x40;

bool Fits(const mp4::MediaFacts& facts, uint32_t width, uint32_t height) {
  return facts.width > 0 && facts.height > 0 && facts.width <= width && facts.height <= height;
}

}  // namespace

std::string DlnaProfileOf(const mp4::MediaFacts& facts) {
  const bool avc =
      facts.videoCodec == mp4::MakeFourCC("avc1") || facts.videoCodec == mp4::MakeFourCC("avc3");
  const bool aac =
      facts.audioCodec == mp4::MakeFourCC("mp4a") && facts.channels >= 1 && facts.channels <= 6;
  if (!avc || !aac) return "";
  if (facts.avcProfile == kAvcHigh && Fits(facts, 1920, 1080)) return "AVC_MP4_HP_HD_AAC";
  const bool main =
      facts.avcProfile == kAvcMain ||
      (facts.avcProfile == kAvcBaseline && (facts.avcConstraints & kAvcConstrainedToMain));
  if (main && Fits(facts, 720, 576)) return "AVC_MP4_MP_SD_AAC_MULT5";
  if (main && Fits(facts, 1280, 720)) return "AVC_MP4_MP_HD_720p_AAC";
  return "";
}

std::string DlnaContentFeatures(const mp4::MediaFacts* facts) {
  std::string features;
  if (facts) {
    if (const std::string profile = DlnaProfileOf(*facts); !profile.empty()) {
      features = "DLNA.ORG_PN=" + profile + ";";
    }
  }
  // OP=01: byte ranges, no time seeks; CI=0: the file as it is stored.
  return features + "DLNA.ORG_OP=01;DLNA.ORG_CI=0;DLNA.ORG_FLAGS=" + std::string(kDlnaFlags);
}

std::string VideoProtocolInfo(const mp4::MediaFacts* facts) {
  return "http-get:*:video/mp4:" + DlnaContentFeatures(facts);
}

}  // namespace vidoria
