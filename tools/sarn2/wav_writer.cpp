#include "tools/sarn2/wav_writer.h"

#include <unistd.h>

#include <sndfile.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

namespace {

int encodingWord(SampleFormat format) {
  return format == SampleFormat::pcm16   ? SF_FORMAT_PCM_16
         : format == SampleFormat::pcm24 ? SF_FORMAT_PCM_24
                                         : SF_FORMAT_FLOAT;
}

}  // namespace

SoundFileFormat soundFileFormat(const std::string& path, std::optional<SampleFormat> requested) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error))
    throw ToolError("cannot write " + path + ": it is a directory");
  std::string extension = std::filesystem::path(path).extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".ogg") {
    if (requested)
      throw UsageError("--format " + std::string(sampleFormatName(*requested)) +
                       ": Ogg Vorbis has no sample format to choose; leave --format out for " + path);
    return {SF_FORMAT_OGG | SF_FORMAT_VORBIS, "Ogg Vorbis"};
  }
  if (extension == ".flac") {
    const SampleFormat format = requested.value_or(SampleFormat::pcm24);
    if (format == SampleFormat::float32)
      throw UsageError("--format float: FLAC holds only integer samples; use --format pcm16 or pcm24 for " +
                       path);
    return {SF_FORMAT_FLAC | encodingWord(format), std::string("FLAC ") + sampleFormatName(format)};
  }
  const SampleFormat format = requested.value_or(SampleFormat::float32);
  if (extension == ".wav")
    return {SF_FORMAT_WAV | encodingWord(format), std::string("WAV ") + sampleFormatName(format)};
  if (extension == ".aiff" || extension == ".aif")
    return {SF_FORMAT_AIFF | encodingWord(format), std::string("AIFF ") + sampleFormatName(format)};
  throw UsageError("cannot tell the file type of " + path +
                   " from its extension: use .wav, .flac, .ogg or .aiff");
}

const char* sampleFormatName(SampleFormat format) {
  switch (format) {
    case SampleFormat::pcm16:
      return "pcm16";
    case SampleFormat::pcm24:
      return "pcm24";
    default:
      return "float";
  }
}

WavWriter::WavWriter(const std::string& path, int sampleRate, const SoundFileFormat& format) : file(path) {
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 1;
  info.format = format.word;
  const int descriptor = file.takeDescriptor();
  sound = sf_open_fd(descriptor, SFM_WRITE, &info, SF_TRUE);
  if (sound == nullptr) {
    close(descriptor);
    throw ToolError("cannot write " + path + ": " + sf_strerror(nullptr));
  }
  // Integer formats clip out-of-range samples rather than wrap them.
  sf_command(sound, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

WavWriter::~WavWriter() {
  if (sound != nullptr) sf_close(sound);
}

void WavWriter::write(const float* samples, int64_t frames) {
  if (frames <= 0) return;
  if (sf_writef_float(sound, samples, frames) != frames)
    throw ToolError("cannot write " + file.target() + ": " + sf_strerror(sound));
}

void WavWriter::finish() {
  // Closing writes the final header sizes; its failure means an unusable file.
  const int closed = sf_close(sound);
  sound = nullptr;
  if (closed != 0) throw ToolError("cannot write " + file.target() + ": " + sf_error_number(closed));
  file.commit();
}

}  // namespace sarn2tool
