// Speaker arrangements: the framework's allocate, release, copy and match.
#include <gtest/gtest.h>

#include <cstring>

#include "frame/audio_effect_x.h"

using namespace frame;

namespace {

class Frame : public AudioEffectX {
 public:
  Frame() : AudioEffectX(nullptr, 0, 0) {}
  void renderBlock(float**, float**, int32_t) override {}
};

SpeakerRecord speaker(const char* name, int32_t type, float azimuth) {
  SpeakerRecord record;
  std::memset(&record, 0xAB, sizeof(record));  // nothing zero but what is set
  std::strcpy(record.name, name);
  record.type = type;
  record.azimuth = azimuth;
  record.elevation = azimuth + 1.0f;
  record.radius = azimuth + 2.0f;
  record.reserved = azimuth + 3.0f;
  for (size_t i = 0; i < sizeof(record.future); ++i) record.future[i] = static_cast<char>(i + 1);
  return record;
}

bool allZero(const void* memory, size_t bytes) {
  const auto* p = static_cast<const uint8_t*>(memory);
  for (size_t i = 0; i < bytes; ++i)
    if (p[i] != 0) return false;
  return true;
}

}  // namespace

TEST(Arrangement, AllocateGivesZeroedRecordsWithTheCount) {
  Frame frame;
  SpeakerArrangement* arrangement = nullptr;
  ASSERT_TRUE(frame.allocateArrangement(&arrangement, 3));
  ASSERT_NE(arrangement, nullptr);
  EXPECT_EQ(arrangement->type, 0);
  EXPECT_EQ(arrangement->channelCount, 3);
  EXPECT_TRUE(allZero(arrangement->speakers, 3 * sizeof(SpeakerRecord)));

  // Allocating again replaces the held arrangement.
  ASSERT_TRUE(frame.allocateArrangement(&arrangement, 0));
  ASSERT_NE(arrangement, nullptr);
  EXPECT_EQ(arrangement->channelCount, 0);
  EXPECT_TRUE(frame.releaseArrangement(&arrangement));
  EXPECT_EQ(arrangement, nullptr);
}

TEST(Arrangement, BadRequestsAnswerFalse) {
  Frame frame;
  SpeakerArrangement* arrangement = nullptr;
  ASSERT_TRUE(frame.allocateArrangement(&arrangement, 2));
  // A negative count allocates nothing and leaves no stale pointer behind.
  EXPECT_FALSE(frame.allocateArrangement(&arrangement, -1));
  EXPECT_EQ(arrangement, nullptr);
  EXPECT_FALSE(frame.allocateArrangement(nullptr, 2));
  EXPECT_TRUE(frame.releaseArrangement(&arrangement));  // already null
  EXPECT_TRUE(frame.releaseArrangement(nullptr));
}

TEST(Arrangement, CopySpeakerCopiesEveryFieldAndBoundsTheName) {
  Frame frame;
  const SpeakerRecord source = speaker("Left", 7, 0.5f);
  SpeakerRecord target;
  std::memset(&target, 0, sizeof(target));
  ASSERT_TRUE(frame.copySpeaker(&target, &source));
  EXPECT_STREQ(target.name, "Left");
  EXPECT_EQ(target.type, 7);
  EXPECT_EQ(target.azimuth, 0.5f);
  EXPECT_EQ(target.elevation, 1.5f);
  EXPECT_EQ(target.radius, 2.5f);
  EXPECT_EQ(target.reserved, 3.5f);
  EXPECT_EQ(0, std::memcmp(target.future, source.future, sizeof(target.future)));

  // A name that fills all 64 bytes unterminated comes out as 63 characters.
  SpeakerRecord longName = source;
  std::memset(longName.name, 'n', sizeof(longName.name));
  ASSERT_TRUE(frame.copySpeaker(&target, &longName));
  EXPECT_EQ(std::strlen(target.name), 63u);
  EXPECT_EQ(target.name[63], 0);

  EXPECT_FALSE(frame.copySpeaker(nullptr, &source));
  EXPECT_FALSE(frame.copySpeaker(&target, nullptr));
}

TEST(Arrangement, MatchCopiesTypeAndEverySpeaker) {
  Frame frame;
  SpeakerArrangement* source = nullptr;
  ASSERT_TRUE(frame.allocateArrangement(&source, 2));
  source->type = 1;
  source->speakers[0] = speaker("L", 1, 0.25f);
  source->speakers[1] = speaker("R", 2, 0.75f);

  SpeakerArrangement* target = nullptr;
  ASSERT_TRUE(frame.allocateArrangement(&target, 5));  // replaced by the match
  ASSERT_TRUE(frame.matchArrangement(&target, source));
  ASSERT_NE(target, nullptr);
  EXPECT_NE(target, source);
  EXPECT_EQ(target->type, 1);
  EXPECT_EQ(target->channelCount, 2);
  EXPECT_STREQ(target->speakers[0].name, "L");
  EXPECT_STREQ(target->speakers[1].name, "R");
  EXPECT_EQ(target->speakers[1].type, 2);
  EXPECT_EQ(target->speakers[1].azimuth, 0.75f);

  EXPECT_FALSE(frame.matchArrangement(&target, nullptr));
  EXPECT_FALSE(frame.matchArrangement(nullptr, source));
  frame.releaseArrangement(&source);
  frame.releaseArrangement(&target);
}

// The framework's own arrangement answer: null through both addresses.
TEST(Arrangement, GetArrangementAnswersNone) {
  Frame frame;
  int dummy = 0;
  auto* inputs = reinterpret_cast<SpeakerArrangement*>(&dummy);
  auto* outputs = reinterpret_cast<SpeakerArrangement*>(&dummy);
  EXPECT_FALSE(frame.getArrangement(&inputs, &outputs));
  EXPECT_EQ(inputs, nullptr);
  EXPECT_EQ(outputs, nullptr);
  EXPECT_FALSE(frame.getArrangement(nullptr, nullptr));
}
