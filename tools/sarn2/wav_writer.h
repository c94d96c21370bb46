// Mono WAV output through libsndfile, written under a temporary name and
// renamed into place only when complete.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tools/sarn2/output_file.h"

struct sf_private_tag;

namespace sarn2tool {

enum class SampleFormat { float32, pcm16, pcm24 };

// "float", "pcm16" or "pcm24".
const char* sampleFormatName(SampleFormat format);

class WavWriter {
 public:
  // Opens the temporary file at once. Throws ToolError.
  WavWriter(const std::string& path, int sampleRate, SampleFormat format);
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  // Throws ToolError when the disk refuses the data.
  void write(const float* samples, int64_t frames);
  // Closes the file and renames it over the target. Throws ToolError.
  void finish();

 private:
  OutputFile file;
  sf_private_tag* sound = nullptr;
};

}  // namespace sarn2tool
