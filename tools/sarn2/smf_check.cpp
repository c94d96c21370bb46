#include "tools/sarn2/smf_check.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>

#include "tools/sarn2/tool_error.h"

namespace sarn2tool {

namespace {

constexpr uint32_t kMaxDeltaTicks = 0x0FFFFFFF;  // four bytes of seven bits
constexpr uint8_t kMeta = 0xFF;
constexpr uint8_t kTempoMeta = 0x51;
constexpr uint8_t kEndOfTrackMeta = 0x2F;
constexpr uint8_t kStandardTempo[] = {0x07, 0xA1, 0x20};  // 500000 us per beat: 120 beats per minute

std::string hexByte(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof(text), "0x%02X", value & 0xFF);
  return text;
}

struct Event {
  uint64_t tick;
  std::vector<uint8_t> bytes;
};

struct Track {
  std::vector<Event> events;
};

// Reads one chunk's bytes; every failure names the byte offset in the file.
class ChunkReader {
 public:
  ChunkReader(const std::vector<uint8_t>& bytes, size_t begin, size_t end, int track)
      : bytes_(bytes), position_(begin), end_(end), track_(track) {}

  bool atEnd() const { return position_ >= end_; }
  size_t position() const { return position_; }
  const uint8_t* bytesFrom(size_t at) const { return bytes_.data() + at; }

  [[noreturn]] void fail(const std::string& what, size_t at) const {
    throw ToolError("byte " + std::to_string(at) + ", track " + std::to_string(track_) + ": " + what);
  }

  uint8_t byte(const char* inside) {
    if (position_ >= end_) fail(std::string("track ends inside ") + inside, position_);
    return bytes_[position_++];
  }

  uint32_t quantity(const char* inside) {
    const size_t start = position_;
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      const uint8_t b = byte(inside);
      value = (value << 7) | (b & 0x7F);
      if ((b & 0x80) == 0) return value;
    }
    fail(std::string("variable-length quantity of more than four bytes in ") + inside, start);
  }

  // Skips length bytes, which must lie inside the chunk.
  void skip(uint32_t length, const std::string& event, size_t at) {
    if (length > end_ - position_)
      fail(event + " declares " + std::to_string(length) + " bytes but its track holds only " +
               std::to_string(end_ - position_) + " more",
           at);
    position_ += length;
  }

 private:
  const std::vector<uint8_t>& bytes_;
  size_t position_;
  size_t end_;
  int track_;
};

int dataBytesOf(uint8_t status) {
  const uint8_t kind = status & 0xF0;
  return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// One track chunk's events, from its first byte to end-of-track or its
// last byte, whichever comes first.
Track readTrack(ChunkReader& in, std::map<uint64_t, std::array<uint8_t, 3>>& tempos) {
  Track track;
  uint64_t tick = 0;
  uint8_t running = 0;
  while (!in.atEnd()) {
    tick += in.quantity("a delta time");
    const size_t at = in.position();
    const uint8_t first = in.byte("an event");
    if (first == kMeta) {
      const uint8_t type = in.byte("a meta event");
      const uint32_t length = in.quantity("a meta event's length");
      const size_t data = in.position();
      in.skip(length, "meta event FF " + hexByte(type).substr(2), at);
      if (type == kEndOfTrackMeta) {
        track.events.push_back({tick, {kMeta, kEndOfTrackMeta, 0}});
        return track;
      }
      if (type == kTempoMeta) {
        if (length != 3)
          in.fail("tempo event of " + std::to_string(length) + " bytes (a tempo event holds 3)", at);
        const uint8_t* tempo = in.bytesFrom(data);
        if (tempo[0] == 0 && tempo[1] == 0 && tempo[2] == 0)
          in.fail("tempo event of 0 microseconds per beat", at);
        // Of tempo events at one tick, in any track, the last one read holds.
        tempos[tick] = {tempo[0], tempo[1], tempo[2]};
      }
      // Running status is kept across meta and system exclusive events, as
      // most sequencers read it.
      continue;
    }
    if (first == 0xF0 || first == 0xF7) {
      in.skip(in.quantity("a system exclusive length"), "system exclusive event", at);
      continue;
    }
    if (first > 0xF0) in.fail("status byte " + hexByte(first) + ", which a MIDI file cannot hold", at);

    uint8_t status = first;
    std::vector<uint8_t> message;
    if (first & 0x80) {
      running = first;
    } else {
      if (running == 0) in.fail("data byte " + hexByte(first) + " with no status byte before it", at);
      status = running;
    }
    message.push_back(status);
    if ((first & 0x80) == 0) message.push_back(first);
    while (static_cast<int>(message.size()) < 1 + dataBytesOf(status)) {
      const size_t dataAt = in.position();
      const uint8_t b = in.byte("a channel event");
      if (b & 0x80)
        in.fail("status byte " + hexByte(b) + " where event " + hexByte(status) + " needs data", dataAt);
      message.push_back(b);
    }
    track.events.push_back({tick, std::move(message)});
  }
  // A track that stops without end-of-track ends at its last event.
  track.events.push_back({tick, {kMeta, kEndOfTrackMeta, 0}});
  return track;
}

// The whole tempo map goes into the first track, one event per tick: the
// MIDI file library builds a wrong map (times before the start) from tempo
// events of several tracks at one tick.
void putTempoMap(Track& first, std::map<uint64_t, std::array<uint8_t, 3>>& tempos) {
  tempos.try_emplace(0, std::array<uint8_t, 3>{kStandardTempo[0], kStandardTempo[1], kStandardTempo[2]});
  Track merged;
  auto tempo = tempos.begin();
  for (Event& event : first.events) {
    const bool endOfTrack = &event == &first.events.back();
    for (; tempo != tempos.end() && (tempo->first <= event.tick || endOfTrack); ++tempo) {
      const auto& t = tempo->second;
      merged.events.push_back({tempo->first, {kMeta, kTempoMeta, 3, t[0], t[1], t[2]}});
    }
    if (endOfTrack) event.tick = std::max(event.tick, merged.events.back().tick);
    merged.events.push_back(std::move(event));
  }
  first = std::move(merged);
}

uint32_t bigEndian(const std::vector<uint8_t>& b, size_t at, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | b[at + static_cast<size_t>(i)];
  return value;
}

void putBigEndian(std::vector<uint8_t>& out, uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void putQuantity(std::vector<uint8_t>& out, uint32_t value) {
  uint8_t groups[4];
  int n = 0;
  do {
    groups[n++] = value & 0x7F;
    value >>= 7;
  } while (value != 0);
  while (n > 1) out.push_back(groups[--n] | 0x80);
  out.push_back(groups[0]);
}

void putTrack(std::vector<uint8_t>& out, const Track& track) {
  std::vector<uint8_t> body;
  uint64_t last = 0;
  for (const Event& event : track.events) {
    uint64_t delta = event.tick - last;
    // Events left out can join gaps that one delta time cannot span; a
    // one-byte text event carries the time across.
    while (delta > kMaxDeltaTicks) {
      putQuantity(body, kMaxDeltaTicks);
      body.insert(body.end(), {kMeta, 0x01, 1, ' '});
      delta -= kMaxDeltaTicks;
    }
    putQuantity(body, static_cast<uint32_t>(delta));
    body.insert(body.end(), event.bytes.begin(), event.bytes.end());
    last = event.tick;
  }
  out.insert(out.end(), {'M', 'T', 'r', 'k'});
  putBigEndian(out, static_cast<uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
}

// What the file starts with instead of a header, when that is text.
std::string startOf(const std::vector<uint8_t>& bytes) {
  if (bytes.empty()) return " (the file is empty)";
  std::string start;
  for (size_t i = 0; i < bytes.size() && i < 4; ++i) {
    if (bytes[i] < 0x20 || bytes[i] > 0x7E) return {};
    start += static_cast<char>(bytes[i]);
  }
  return " (the file starts with '" + start + "')";
}

[[noreturn]] void failAt(const std::string& what, size_t at) {
  throw ToolError("byte " + std::to_string(at) + ": " + what);
}

}  // namespace

std::vector<uint8_t> checkedStandardMidiFile(const std::vector<uint8_t>& bytes) {
  if (bytes.size() < 4 || bytes[0] != 'M' || bytes[1] != 'T' || bytes[2] != 'h' || bytes[3] != 'd')
    failAt("no MThd header" + startOf(bytes), 0);
  if (bytes.size() < 14) failAt("file ends inside its header", bytes.size());
  const uint32_t headerLength = bigEndian(bytes, 4, 4);
  if (headerLength < 6 || headerLength > bytes.size() - 8)
    failAt("header of " + std::to_string(headerLength) + " bytes (it needs 6, within the file)", 4);
  const uint32_t format = bigEndian(bytes, 8, 2);
  const uint32_t declaredTracks = bigEndian(bytes, 10, 2);
  const uint32_t division = bigEndian(bytes, 12, 2);
  if (format == 2)
    failAt("format 2 (independent sequences, one per track) is not supported, only formats 0 and 1", 8);
  if (format > 2) failAt("unknown format " + std::to_string(format), 8);
  if (declaredTracks == 0) failAt("header declares no tracks", 10);
  if (format == 0 && declaredTracks != 1)
    failAt("format 0 header declares " + std::to_string(declaredTracks) + " tracks (format 0 holds one)", 10);
  if (division == 0) failAt("time division of 0 ticks per beat", 12);
  if (division & 0x8000)
    failAt("time division in SMPTE frames (" + std::to_string(256 - (division >> 8)) +
               " frames per second) is not supported, only ticks per beat",
           12);

  std::vector<Track> tracks;
  std::map<uint64_t, std::array<uint8_t, 3>> tempos;
  size_t position = 8 + headerLength;
  while (tracks.size() < declaredTracks) {
    if (bytes.size() - position < 8)
      failAt("file ends after " + std::to_string(tracks.size()) + " of the " +
                 std::to_string(declaredTracks) + " tracks its header declares",
             position);
    const bool isTrack = bytes[position] == 'M' && bytes[position + 1] == 'T' && bytes[position + 2] == 'r' &&
                         bytes[position + 3] == 'k';
    const uint32_t length = bigEndian(bytes, position + 4, 4);
    if (length > bytes.size() - position - 8)
      failAt(std::string(isTrack ? "track" : "chunk") + " declares " + std::to_string(length) +
                 " bytes but the file holds only " + std::to_string(bytes.size() - position - 8) + " more",
             position);
    const size_t begin = position + 8;
    position = begin + length;
    if (!isTrack) continue;  // chunks of other kinds are skipped, as the file format asks
    ChunkReader in(bytes, begin, position, static_cast<int>(tracks.size()) + 1);
    tracks.push_back(readTrack(in, tempos));
  }
  putTempoMap(tracks.front(), tempos);

  std::vector<uint8_t> out = {'M', 'T', 'h', 'd', 0, 0, 0, 6};
  putBigEndian(out, format, 2);
  putBigEndian(out, static_cast<uint32_t>(tracks.size()), 2);
  putBigEndian(out, division, 2);
  for (const Track& track : tracks) putTrack(out, track);
  return out;
}

}  // namespace sarn2tool
