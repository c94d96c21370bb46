#include "tools/sarn2/wav_writer.h"

#include <unistd.h>

#include <sndfile.h>

#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

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

WavWriter::WavWriter(const std::string& path, int sampleRate, SampleFormat format) : file(path) {
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | (format == SampleFormat::pcm16   ? SF_FORMAT_PCM_16
                                 : format == SampleFormat::pcm24 ? SF_FORMAT_PCM_24
                                                                 : SF_FORMAT_FLOAT);
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
