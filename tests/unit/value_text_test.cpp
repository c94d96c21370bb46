// The framework's number-to-text operations.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "frame/audio_effect.h"

namespace {

class TextEffect : public AudioEffect {
 public:
  TextEffect() : AudioEffect(nullptr, 0, 0) {}
  void renderBlock(float**, float**, int32_t) override {}
};

std::string show(void (AudioEffect::*op)(float, char*, int32_t), float value, int32_t maxLen = 8) {
  TextEffect effect;
  char text[64];
  std::memset(text, 'x', sizeof(text));
  (effect.*op)(value, text, maxLen);
  return text;
}

}  // namespace

TEST(ValueText, FloatExamples) {
  EXPECT_EQ(show(&AudioEffect::floatToText, 1.5f), "1.500000");
  EXPECT_EQ(show(&AudioEffect::floatToText, 0.0f), "0.000000");
  EXPECT_EQ(show(&AudioEffect::floatToText, 100.0f), "100.0000");
  EXPECT_EQ(show(&AudioEffect::floatToText, -0.25f), "-0.25000");
  EXPECT_EQ(show(&AudioEffect::floatToText, 1234567.0f), "1234567.");
  EXPECT_EQ(show(&AudioEffect::floatToText, -123456.0f), "-123456.");
}

TEST(ValueText, Decibels) {
  EXPECT_EQ(show(&AudioEffect::decibelsToText, 1.0f), "0.000000");
  EXPECT_EQ(show(&AudioEffect::decibelsToText, 10.0f), "20.00000");
  EXPECT_EQ(show(&AudioEffect::decibelsToText, 0.5f), "-6.02060");
  EXPECT_EQ(show(&AudioEffect::decibelsToText, 0.0f), "-oo");
}
