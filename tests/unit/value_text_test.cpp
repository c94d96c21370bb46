// The framework's number-to-text operations.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "frame/audio_effect.h"

using namespace frame;

namespace {

class TextEffect : public AudioEffect {
 public:
  TextEffect() : AudioEffect(nullptr, 0, 0) {}
  void renderBlock(float**, float**, int32_t) override {}
};

constexpr char kGuard = 'x';

std::string show(void (AudioEffect::*op)(float, char*, int32_t), float value, int32_t maxLen = 8,
                 float sampleRate = 44100.0f) {
  TextEffect effect;
  effect.setSampleRate(sampleRate);
  char text[64];
  std::memset(text, kGuard, sizeof(text));
  (effect.*op)(value, text, maxLen);
  return text;
}

std::string showInteger(int32_t value, int32_t maxLen = 16) {
  TextEffect effect;
  char text[64];
  std::memset(text, kGuard, sizeof(text));
  effect.integerToText(value, text, maxLen);
  return text;
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

}  // namespace

TEST(ValueText, FloatExamples) {
  EXPECT_EQ(show(&AudioEffect::floatToText, 1.5f), "1.500000");
  EXPECT_EQ(show(&AudioEffect::floatToText, 0.0f), "0.000000");
  EXPECT_EQ(show(&AudioEffect::floatToText, 100.0f), "100.0000");
  EXPECT_EQ(show(&AudioEffect::floatToText, -0.25f), "-0.25000");
  EXPECT_EQ(show(&AudioEffect::floatToText, 1234567.0f), "1234567.");
  EXPECT_EQ(show(&AudioEffect::floatToText, -123456.0f), "-123456.");
}

TEST(ValueText, FloatDigitsAreTruncatedNeverRounded) {
  EXPECT_EQ(show(&AudioEffect::floatToText, 2.0f / 3.0f), "0.666666");
  EXPECT_EQ(show(&AudioEffect::floatToText, -2.0f / 3.0f), "-0.66666");
  EXPECT_EQ(show(&AudioEffect::floatToText, 0.001f), "0.001000");
  EXPECT_EQ(show(&AudioEffect::floatToText, 1e-10f), "0.000000");
  EXPECT_EQ(show(&AudioEffect::floatToText, 1000000.0f), "1000000.");
  EXPECT_EQ(show(&AudioEffect::floatToText, -0.0f), "0.000000");
}

TEST(ValueText, FloatLimits) {
  EXPECT_EQ(show(&AudioEffect::floatToText, 100000000.0f), "Huge!");
  EXPECT_EQ(show(&AudioEffect::floatToText, -10000000.0f), "Huge!");
  EXPECT_EQ(show(&AudioEffect::floatToText, 1e30f), "Huge!");
  EXPECT_NE(show(&AudioEffect::floatToText, -9999999.0f), "Huge!");
  EXPECT_EQ(show(&AudioEffect::floatToText, kNaN), "Huge!");
  EXPECT_EQ(show(&AudioEffect::floatToText, kInf), "Huge!");
  EXPECT_EQ(show(&AudioEffect::floatToText, -kInf), "Huge!");
}

// Values whose integer part is longer than the eight-character budget keep
// every digit; the budget only drops the fraction.
TEST(ValueText, FloatBeyondTheBudgetKeepsItsLeadingDigits) {
  EXPECT_EQ(show(&AudioEffect::floatToText, 12345678.0f), "12345678");
  EXPECT_EQ(show(&AudioEffect::floatToText, 12345678.0f, 9), "12345678.");
  EXPECT_EQ(show(&AudioEffect::floatToText, 10000000.0f), "10000000");
  EXPECT_EQ(show(&AudioEffect::floatToText, -9999999.0f), "-9999999");
  EXPECT_EQ(show(&AudioEffect::floatToText, -1234567.0f, 20), "-1234567.");
  EXPECT_EQ(show(&AudioEffect::floatToText, -1000000.0f, 20), "-1000000.");
}

TEST(ValueText, Decibels) {
  EXPECT_EQ(show(&AudioEffect::decibelsToText, 1.0f), "0.000000");
  EXPECT_EQ(show(&AudioEffect::decibelsToText, 10.0f), "20.00000");
  EXPECT_EQ(show(&AudioEffect::decibelsToText, 0.5f), "-6.02060");
  EXPECT_EQ(show(&AudioEffect::decibelsToText, 0.0f), "-oo");
  EXPECT_EQ(show(&AudioEffect::decibelsToText, -3.0f), "-oo");
  EXPECT_EQ(show(&AudioEffect::decibelsToText, -0.0f), "-oo");
  EXPECT_EQ(show(&AudioEffect::decibelsToText, 100.0f), "40.00000");
  EXPECT_EQ(show(&AudioEffect::decibelsToText, kNaN), "Huge!");
}

TEST(ValueText, FrequencyAndMillisecondsFollowTheSampleRate) {
  EXPECT_EQ(show(&AudioEffect::frequencyToText, 100.0f), "441.0000");
  EXPECT_EQ(show(&AudioEffect::frequencyToText, 0.0f), "0.000000");
  EXPECT_EQ(show(&AudioEffect::frequencyToText, 100.0f, 8, 48000.0f), "480.0000");
  EXPECT_EQ(show(&AudioEffect::frequencyToText, -441.0f), "-100.000");
  EXPECT_EQ(show(&AudioEffect::millisecondsToText, 44100.0f), "1000.000");
  EXPECT_EQ(show(&AudioEffect::millisecondsToText, 22050.0f), "500.0000");
  EXPECT_EQ(show(&AudioEffect::millisecondsToText, 48.0f, 8, 48000.0f), "1.000000");
  // A host may set the rate to 0; the quotient has no digits to show.
  EXPECT_EQ(show(&AudioEffect::millisecondsToText, 100.0f, 8, 0.0f), "Huge!");
  EXPECT_EQ(show(&AudioEffect::millisecondsToText, 0.0f, 8, 0.0f), "Huge!");
}

TEST(ValueText, IntegerExamples) {
  EXPECT_EQ(showInteger(99999999), "99999999");
  EXPECT_EQ(showInteger(-42), "-42");
  EXPECT_EQ(showInteger(0), "0");
  EXPECT_EQ(showInteger(100000000), "Huge!");
  EXPECT_EQ(showInteger(INT32_MAX), "Huge!");
  EXPECT_EQ(showInteger(7), "7");
  EXPECT_EQ(showInteger(10), "10");
  EXPECT_EQ(showInteger(100200), "100200");
  EXPECT_EQ(showInteger(-100000000), "-100000000");
  EXPECT_EQ(showInteger(-999999999), "-999999999");
}

TEST(ValueText, IntegerBeyondNineDigitsNegative) {
  EXPECT_EQ(showInteger(-1000000000), "Huge!");
  EXPECT_EQ(showInteger(INT32_MIN), "Huge!");
}

TEST(ValueText, MaxLenCutsTheText) {
  EXPECT_EQ(show(&AudioEffect::floatToText, 1.5f, 4), "1.50");
  EXPECT_EQ(show(&AudioEffect::decibelsToText, 0.0f, 2), "-o");
  EXPECT_EQ(showInteger(-5, 1), "-");
  EXPECT_EQ(showInteger(123456, 3), "123");
  EXPECT_EQ(showInteger(100000000, 3), "Hug");
  EXPECT_EQ(show(&AudioEffect::floatToText, 1e30f, 4), "Huge");
  EXPECT_EQ(show(&AudioEffect::floatToText, -0.25f, 1), "-");
  EXPECT_EQ(show(&AudioEffect::frequencyToText, 100.0f, 3), "441");
  EXPECT_EQ(show(&AudioEffect::millisecondsToText, 44100.0f, 5), "1000.");
  EXPECT_EQ(show(&AudioEffect::floatToText, 1.5f, 0), "");
  EXPECT_EQ(showInteger(42, 0), "");
}

// Whatever maxLen is, nothing past position maxLen is written and the text
// is terminated at or before it.
TEST(ValueText, NothingIsWrittenBeyondMaxLen) {
  TextEffect effect;
  using FloatOp = void (AudioEffect::*)(float, char*, int32_t);
  const FloatOp ops[] = {&AudioEffect::floatToText, &AudioEffect::decibelsToText,
                         &AudioEffect::frequencyToText, &AudioEffect::millisecondsToText};
  const float values[] = {0.0f, 1.5f, -0.25f, 0.5f, 100.0f, 12345678.0f, -9999999.0f, 1e30f, kNaN, -3.0f};
  for (int32_t maxLen = 0; maxLen <= 12; ++maxLen) {
    for (FloatOp op : ops) {
      for (float value : values) {
        char text[32];
        std::memset(text, kGuard, sizeof(text));
        (effect.*op)(value, text, maxLen);
        EXPECT_LE(std::strlen(text), static_cast<size_t>(maxLen)) << value << " at " << maxLen;
        for (size_t i = static_cast<size_t>(maxLen) + 1; i < sizeof(text); ++i)
          ASSERT_EQ(text[i], kGuard) << value << " at maxLen " << maxLen << ", byte " << i;
      }
    }
    for (int32_t value : {0, -5, 42, 99999999, -999999999, 100000000, INT32_MIN}) {
      char text[32];
      std::memset(text, kGuard, sizeof(text));
      effect.integerToText(value, text, maxLen);
      EXPECT_LE(std::strlen(text), static_cast<size_t>(maxLen)) << value << " at " << maxLen;
      for (size_t i = static_cast<size_t>(maxLen) + 1; i < sizeof(text); ++i)
        ASSERT_EQ(text[i], kGuard) << value << " at maxLen " << maxLen << ", byte " << i;
    }
  }
}

// A cut text is the full text's prefix: cutting never changes the digits.
TEST(ValueText, CutTextIsAPrefixOfTheFullText) {
  for (float value : {3.14159f, -6.5f, 441.0f, 0.001f}) {
    const std::string full = show(&AudioEffect::floatToText, value, 20);
    for (int32_t maxLen = 0; maxLen <= 9; ++maxLen)
      EXPECT_EQ(show(&AudioEffect::floatToText, value, maxLen), full.substr(0, static_cast<size_t>(maxLen)));
  }
}
