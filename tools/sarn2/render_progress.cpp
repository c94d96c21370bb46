#include "tools/sarn2/render_progress.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace sarn2tool {

namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

RenderProgress::RenderProgress(bool enabled, int64_t expectedFrames, double sampleRate)
    : enabled(enabled), expected(expectedFrames), rate(sampleRate) {}

void RenderProgress::update(int64_t frames) {
  if (!enabled) return;
  const auto now = std::chrono::steady_clock::now();
  if (drawn && now - lastDrawn < kRedrawInterval) return;
  lastDrawn = now;
  drawn = true;
  const double fraction = expected > 0 ? std::min(1.0, static_cast<double>(frames) / expected) : 1.0;
  const int filled = static_cast<int>(fraction * kBarWidth);
  const std::string bar = std::string(filled, '#') + std::string(kBarWidth - filled, '-');
  std::fprintf(stderr, "\r[%s] %3d%%  %.1f s", bar.c_str(), static_cast<int>(fraction * 100.0),
               frames / rate);
  std::fflush(stderr);
}

void RenderProgress::finish() {
  if (!enabled || !drawn) return;
  std::fprintf(stderr, "\r%*s\r", kBarWidth + 24, "");
  std::fflush(stderr);
}

}  // namespace sarn2tool
