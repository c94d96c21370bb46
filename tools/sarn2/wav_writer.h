// Mono sound file output through libsndfile, in the file type the name's
// extension asks for (WAV, FLAC, Ogg Vorbis, AIFF), written under a temporary
// name and renamed into place only when complete.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "tools/sarn2/output_file.h"

struct sf_private_tag;

namespace sarn2tool {

enum class SampleFormat { float32, pcm16, pcm24 };

// "float", "pcm16" or "pcm24".
const char* sampleFormatName(SampleFormat format);

struct SoundFileFormat {
  int word = 0;             // libsndfile's type and encoding
  std::string description;  // "WAV float", "FLAC pcm24", "Ogg Vorbis"
};

// The type from the extension of path (.wav, .flac, .ogg, .aiff or .aif, in
// any case); the encoding as requested, else the type's own default (float
// for WAV and AIFF, pcm24 for FLAC). Throws UsageError for any other
// extension, an encoding the type cannot hold, or an encoding for Ogg Vorbis,
// which has none to choose.
SoundFileFormat soundFileFormat(const std::string& path, std::optional<SampleFormat> requested);

class WavWriter {
 public:
  // Opens the temporary file at once. Throws ToolError.
  WavWriter(const std::string& path, int sampleRate, const SoundFileFormat& format);
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
