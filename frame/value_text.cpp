// The framework's number-to-display-text operations. Texts are cut to the
// caller's maxLen, never rounded: digits are truncated one by one.
#include <cmath>
#include <cstring>

#include "frame/audio_effect.h"
#include "frame/bounded_text.h"

namespace frame {

namespace {

constexpr int32_t kFloatTextBudget = 8;

void appendText(char* text, const char* source, int32_t maxLen) {
  if (maxLen < 0) maxLen = 0;
  int32_t length = static_cast<int32_t>(std::strlen(text));
  for (int32_t i = 0; length < maxLen && source[i] != 0; ++i) text[length++] = source[i];
  text[length] = 0;
  text[maxLen] = 0;
}

// The digit of the units place of a non-negative double, by truncation.
char unitsDigit(double value) { return static_cast<char>('0' + static_cast<int>(std::fmod(value, 10.0))); }

}  // namespace

void AudioEffect::decibelsToText(float value, char* text, int32_t maxLen) {
  if (value <= 0.0f) {
    copyBoundedText(text, "-oo", maxLen);
    return;
  }
  const float logarithm = static_cast<float>(std::log10(static_cast<double>(value)));
  floatToText(static_cast<float>(20.0 * logarithm), text, maxLen);
}

void AudioEffect::frequencyToText(float samples, char* text, int32_t maxLen) {
  if (samples == 0.0f) {
    floatToText(0.0f, text, maxLen);
    return;
  }
  floatToText(static_cast<float>(static_cast<double>(getSampleRate()) / samples), text, maxLen);
}

void AudioEffect::millisecondsToText(float samples, char* text, int32_t maxLen) {
  floatToText(static_cast<float>(samples * 1000.0 / getSampleRate()), text, maxLen);
}

void AudioEffect::floatToText(float value, char* text, int32_t maxLen) {
  double v = value;
  // NaN and infinities have no digits to show; a rate of 0 makes them.
  if (std::isnan(v) || std::isinf(v)) {
    copyBoundedText(text, "Huge!", maxLen);
    return;
  }
  int count = 0;
  const bool negative = v < 0.0;
  if (negative) {
    v = -v;
    count = 1;
    if (v > 9999999.0) {
      copyBoundedText(text, "Huge!", maxLen);
      return;
    }
  } else if (v > 99999999.0) {
    copyBoundedText(text, "Huge!", maxLen);
    return;
  }

  char scratch[16];
  int position = sizeof(scratch) - 1;
  scratch[position] = 0;
  scratch[--position] = '.';
  ++count;
  double integer = std::floor(v);
  scratch[--position] = unitsDigit(integer);
  integer /= 10.0;
  ++count;
  // Every integer digit is written, even past the budget (eight-digit
  // values, seven-digit negative ones): dropping the leading digits would
  // show a different number. The caller's maxLen still bounds the text, and
  // such values get no fraction digits.
  while (integer >= 1.0) {
    scratch[--position] = unitsDigit(integer);
    integer /= 10.0;
    ++count;
  }
  if (negative) scratch[--position] = '-';
  copyBoundedText(text, scratch + position, maxLen);
  if (count >= kFloatTextBudget) return;

  const int fractionDigits = kFloatTextBudget - count;
  double mantissa = std::fmod(v, 1.0) * std::pow(10.0, fractionDigits);
  char fraction[kFloatTextBudget + 1];
  fraction[fractionDigits] = 0;
  for (int i = fractionDigits - 1; i >= 0; --i) {
    if (mantissa <= 0.0) {
      fraction[i] = '0';
    } else {
      fraction[i] = unitsDigit(mantissa);
      mantissa /= 10.0;
    }
  }
  appendText(text, fraction, maxLen);
}

void AudioEffect::integerToText(int32_t value, char* text, int32_t maxLen) {
  // Negative values beyond nine digits (the most negative int32 among them)
  // cannot be shown either; they read "Huge!" like their positive peers.
  if (value >= 100000000 || value <= -1000000000) {
    copyBoundedText(text, "Huge!", maxLen);
    return;
  }
  copyBoundedText(text, value < 0 ? "-" : "", maxLen);
  if (value < 0) value = -value;
  bool digitSeen = false;
  for (int32_t divisor = 100000000; divisor >= 1; divisor /= 10) {
    const int32_t digit = value / divisor;
    value %= divisor;
    if (digit != 0) digitSeen = true;
    if (digitSeen) {
      const char digitText[2] = {static_cast<char>('0' + digit), 0};
      appendText(text, digitText, maxLen);
    }
  }
  if (!digitSeen) appendText(text, "0", maxLen);
}

}  // namespace frame
