#include "tests/tools/smf_writer.h"

#include <fstream>

namespace tooltest {

namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}

void putVariable(std::vector<uint8_t>& out, uint32_t v) {
  uint8_t bytes[5];
  int n = 0;
  bytes[n++] = v & 0x7F;
  while ((v >>= 7) != 0) bytes[n++] = static_cast<uint8_t>(0x80 | (v & 0x7F));
  while (n > 0) out.push_back(bytes[--n]);
}

}  // namespace

SmfEvent tempoEvent(uint32_t tick, uint32_t microsecondsPerBeat) {
  return {tick,
          {0xFF, 0x51, 0x03, static_cast<uint8_t>(microsecondsPerBeat >> 16),
           static_cast<uint8_t>(microsecondsPerBeat >> 8), static_cast<uint8_t>(microsecondsPerBeat)}};
}

std::vector<uint8_t> smfBytes(int format, uint16_t ticksPerBeat,
                              const std::vector<std::vector<SmfEvent>>& tracks, uint32_t endTick) {
  std::vector<uint8_t> out = {'M', 'T', 'h', 'd'};
  put32(out, 6);
  out.push_back(0);
  out.push_back(static_cast<uint8_t>(format));
  out.push_back(static_cast<uint8_t>(tracks.size() >> 8));
  out.push_back(static_cast<uint8_t>(tracks.size()));
  out.push_back(static_cast<uint8_t>(ticksPerBeat >> 8));
  out.push_back(static_cast<uint8_t>(ticksPerBeat));
  for (const auto& track : tracks) {
    std::vector<uint8_t> body;
    uint32_t now = 0;
    for (const SmfEvent& e : track) {
      putVariable(body, e.tick - now);
      now = e.tick;
      body.insert(body.end(), e.bytes.begin(), e.bytes.end());
    }
    putVariable(body, endTick > now ? endTick - now : 0);
    body.insert(body.end(), {0xFF, 0x2F, 0x00});
    out.insert(out.end(), {'M', 'T', 'r', 'k'});
    put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
  }
  return out;
}

void writeSmf(const std::string& path, int format, uint16_t ticksPerBeat,
              const std::vector<std::vector<SmfEvent>>& tracks, uint32_t endTick) {
  const std::vector<uint8_t> bytes = smfBytes(format, ticksPerBeat, tracks, endTick);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace tooltest
