#include "mp4/boxes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mp4/test_support.h"

namespace vidoria::mp4 {
namespace {

using namespace test_support;

std::vector<uint8_t> Bytes(std::string_view s) {
  return {s.begin(), s.end()};
}
std::string String(const std::vector<uint8_t>& v) {
  return {v.begin(), v.end()};
}

std::string Serialize(const Box& box) {
  std::vector<uint8_t> out;
  box.AppendTo(out);
  EXPECT_EQ(out.size(), box.SerializedSize());
  return String(out);
}

// QuickTime ends a user-data box with four zero bytes; its 'meta' has no version and flags.
std::string QuickTimeUdta() {
  std::string meta = MakeBox(
      "meta", MakeBox("hdlr", std::string(24, 'h')) + MakeBox("ilst", MakeBox("\xa9nam", "title")));
  return MakeBox("udta", meta + BE32(0));
}

// ISO's 'meta' is a full box: version and flags come before its children.
std::string IsoUdta() {
  return MakeBox("udta", MakeFullBox("meta", 0,
                                     MakeFullBox("hdlr", 0, std::string(20, 'h')) +
                                         MakeBox("ilst", MakeBox("\xa9too", "enc"))));
}

struct RoundTripCase {
  const char* name;
  std::string moov;
  const char* innerType;  // a box found only if the parser descended into its containers
};

void PrintTo(const RoundTripCase& c, std::ostream* os) {
  *os << c.name;
}

class FastStartRoundTripTest : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(FastStartRoundTripTest, ParsedTreeWritesBackTheSameBytes) {
  const RoundTripCase& c = GetParam();
  std::vector<uint8_t> bytes = Bytes(c.moov);
  Result<Box> box = ParseBox(bytes);
  ASSERT_TRUE(box.Ok()) << box.Reason();
  EXPECT_EQ(Serialize(*box), c.moov);
  FourCC inner = ReadBE32(reinterpret_cast<const uint8_t*>(c.innerType));
  EXPECT_TRUE(Contains(*box, inner)) << c.innerType << " not reached";
}

INSTANTIATE_TEST_SUITE_P(
    Moov, FastStartRoundTripTest,
    ::testing::Values(
        RoundTripCase{"Plain", MakeMoov({MakeChunkTable("stco", {8, 100})}), "stco"},
        RoundTripCase{
            "QuickTimeMetaAndUdtaTerminator",
            MakeBox("moov", MakeMoovPayload({MakeChunkTable("stco", {8})}) + QuickTimeUdta()),
            "ilst"},
        RoundTripCase{"IsoFullBoxMeta",
                      MakeBox("moov", MakeMoovPayload({MakeChunkTable("stco", {8})}) + IsoUdta()),
                      "ilst"},
        RoundTripCase{
            "LargeSizeHeadersKept",
            MakeLargeBox(
                "moov",
                MakeFullBox("mvhd", 0, std::string(96, '\0')) +
                    MakeLargeBox(
                        "trak",
                        MakeBox("mdia",
                                MakeBox("minf", MakeBox("stbl", MakeChunkTable("co64", {1, 2})))))),
            "co64"},
        RoundTripCase{"UuidChild",
                      MakeBox("moov", MakeBox("uuid", std::string(16, 'U') + "private") +
                                          MakeMoovPayload({MakeChunkTable("stco", {8})})),
                      "stco"},
        RoundTripCase{"UdtaThatIsNotBoxesStaysOpaque",
                      MakeBox("moov", MakeBox("udta", "\xff\xff\xff\xff not boxes at all") +
                                          MakeMoovPayload({MakeChunkTable("stco", {8})})),
                      "stco"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FastStartParseBoxTest, WidenedTableGrowsEveryAncestor) {
  std::vector<uint8_t> bytes = Bytes(MakeMoov({MakeChunkTable("stco", {8, 9}), "", ""}));
  Result<Box> moov = ParseBox(bytes);
  ASSERT_TRUE(moov.Ok()) << moov.Reason();
  Box* stco = FindAll(*moov, kStco).at(0);
  WriteChunkOffsets(*stco, {uint64_t(1) << 33, 9}, /*wide=*/true);

  std::string written = Serialize(*moov);
  EXPECT_EQ(written.size(), bytes.size() + 8);
  ChunkTables tables = ReadChunkTables(written);
  EXPECT_EQ(tables.problem, "");
  EXPECT_EQ(tables.types, (std::vector<std::string>{"co64"}));
  EXPECT_EQ(tables.offsets, (std::vector<std::vector<uint64_t>>{{uint64_t(1) << 33, 9}}));
}

TEST(FastStartParseBoxTest, DamageOnTheWayToTheTablesFailsNamingTheFileOffset) {
  // The movie box sits at file offset 1000; its 'trak' at 1008 and that one's child at 1016.
  struct Case {
    const char* name;
    std::string moov;
    const char* reason;
  } cases[] = {
      {"child overruns parent",
       MakeBox("moov", MakeBox("trak", BE32(500) + "mdia" + std::string(12, '\0'))),
       "box 'mdia' at offset 1016 claims 500 bytes but only 20 remain inside 'trak'"},
      {"child size below its header", MakeBox("moov", MakeBox("trak", BE32(4) + "mdiaxxxx")),
       "box 'mdia' at offset 1016 has an impossible size of 4"},
      {"64-bit size cut off", MakeBox("moov", MakeBox("trak", BE32(1) + "mdia1234")),
       "box header at offset 1016 is cut off"},
      {"nested too deeply",
       [] {
         std::string box = MakeBox("stbl", "");
         for (int i = 0; i < 40; ++i) box = MakeBox("trak", box);
         return MakeBox("moov", box);
       }(),
       "nested too deeply at offset 1256"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = Bytes(c.moov);
    Result<Box> box = ParseBox(bytes, 1000);
    ASSERT_FALSE(box.Ok()) << c.name;
    EXPECT_NE(box.Reason().find(c.reason), std::string::npos) << c.name << ": " << box.Reason();
  }
}

TEST(FastStartBoxHeaderTest, DecodesEveryHeaderForm) {
  struct Case {
    const char* name;
    std::string head;
    uint64_t room;
    uint64_t size;
    uint32_t headerSize;
    bool large, toEnd;
  } cases[] = {
      {"32-bit", BE32(20) + "free", 100, 20, 8, false, false},
      {"64-bit", BE32(1) + "mdat" + BE64(uint64_t(5) << 32), uint64_t(6) << 32, uint64_t(5) << 32,
       16, true, false},
      {"to the end", BE32(0) + "mdat", 12345, 12345, 8, false, true},
      {"uuid", BE32(40) + "uuid" + std::string(16, 'u'), 40, 40, 24, false, false},
      {"64-bit uuid", BE32(1) + "uuid" + BE64(32) + std::string(16, 'u'), 32, 32, 32, true, false},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> head = Bytes(c.head);
    Result<BoxHeader> header = ParseBoxHeader(head, 0, c.room);
    ASSERT_TRUE(header.Ok()) << c.name << ": " << header.Reason();
    EXPECT_EQ(header->size, c.size) << c.name;
    EXPECT_EQ(header->headerSize, c.headerSize) << c.name;
    EXPECT_EQ(header->largeSize, c.large) << c.name;
    EXPECT_EQ(header->toEnd, c.toEnd) << c.name;
  }
}

TEST(FastStartBoxHeaderTest, RejectsHeadersThatDoNotFit) {
  struct Case {
    const char* name;
    std::string head;
    uint64_t room;
    const char* reason;
  } cases[] = {
      {"fewer than 8 bytes", BE32(20), 4, "cut off"},
      {"64-bit size missing", BE32(1) + "mdat" + "12", 10, "cut off"},
      {"uuid type missing", BE32(30) + "uuid" + "abc", 30, "cut off"},
      {"size smaller than header", BE32(7) + "free", 100, "impossible size"},
      {"64-bit size smaller than header", BE32(1) + "mdat" + BE64(15), 100, "impossible size"},
      {"box longer than its room", BE32(200) + "mdat", 100, "claims 200 bytes but only 100"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> head = Bytes(c.head);
    Result<BoxHeader> header = ParseBoxHeader(head, 64, c.room);
    ASSERT_FALSE(header.Ok()) << c.name;
    EXPECT_NE(header.Reason().find(c.reason), std::string::npos)
        << c.name << ": " << header.Reason();
    EXPECT_NE(header.Reason().find("offset 64"), std::string::npos) << c.name;
  }
}

TEST(FastStartChunkOffsetsTest, WideningKeepsFlagsAndTrailingBytes) {
  std::vector<uint8_t> bytes =
      Bytes(MakeFullBox("stco", 0x00000007, BE32(2) + BE32(10) + BE32(20) + "pad"));
  Result<Box> table = ParseBox(bytes);
  ASSERT_TRUE(table.Ok());

  WriteChunkOffsets(*table, {uint64_t(1) << 32, 20}, /*wide=*/true);
  EXPECT_EQ(Serialize(*table),
            MakeFullBox("co64", 0x00000007, BE32(2) + BE64(uint64_t(1) << 32) + BE64(20) + "pad"));
  Result<std::vector<uint64_t>> offsets = ReadChunkOffsets(*table);
  ASSERT_TRUE(offsets.Ok());
  EXPECT_EQ(*offsets, (std::vector<uint64_t>{uint64_t(1) << 32, 20}));

  // Once 64-bit, a table stays 64-bit even when every offset would fit 32 bits again.
  WriteChunkOffsets(*table, {1, 2}, /*wide=*/false);
  EXPECT_EQ(table->type, kCo64);
}

TEST(FastStartChunkOffsetsTest, TableShorterThanItsCountFails) {
  for (std::string box : {MakeFullBox("stco", 0, BE32(3) + BE32(1) + BE32(2)),
                          MakeFullBox("co64", 0, BE32(1) + BE32(1)), MakeBox("stco", "abc")}) {
    std::vector<uint8_t> bytes = Bytes(box);
    Result<Box> table = ParseBox(bytes);
    ASSERT_TRUE(table.Ok());
    EXPECT_FALSE(ReadChunkOffsets(*table).Ok());
  }
}

}  // namespace
}  // namespace vidoria::mp4
