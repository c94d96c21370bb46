// Any bytes as a MIDI file, read the way `sarn2 render` reads one: checked,
// rebuilt, parsed by the MIDI file library and turned into a schedule.
// Either the file is refused with a message or the schedule is in order;
// nothing crashes, hangs or grows without bound. A file the check accepts
// must come back unchanged when its own rebuilt form is checked again.
#include <algorithm>

#include "tests/fuzz/fuzz_support.h"
#include "tools/sarn2/midi_schedule.h"
#include "tools/sarn2/smf_check.h"
#include "tools/sarn2/tool_error.h"

using fuzzhost::require;

// The MIDI file library frees its table of attribute names at exit with
// delete where it allocated them with new[]: its own fault, harmless, and
// out of reach here, so that one check is left off in this program.
extern "C" const char* __asan_default_options() { return "alloc_dealloc_mismatch=0"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> bytes(data, data + size);
  std::vector<uint8_t> checked;
  try {
    checked = sarn2tool::checkedStandardMidiFile(bytes);
  } catch (const sarn2tool::ToolError& e) {
    require(e.what()[0] != '\0', "a refusal without a message");
    return 0;
  }
  require(sarn2tool::checkedStandardMidiFile(checked) == checked,
          "the rebuilt file changes when checked again");

  sarn2tool::MidiSchedule schedule;
  try {
    schedule = sarn2tool::midiScheduleFromBytes(bytes, 44100.0);
  } catch (const sarn2tool::ToolError&) {
    require(false, "the MIDI file library refused a file that passed the check");
  }
  const auto& messages = schedule.messages;
  require(std::is_sorted(messages.begin(), messages.end(),
                         [](const auto& a, const auto& b) { return a.sample < b.sample; }),
          "messages out of order");
  require(messages.empty() || messages.front().sample >= 0, "a message before the start");
  require(messages.empty() || schedule.endSample >= messages.back().sample,
          "the piece ends before its last message");
  for (const auto& m : messages) require((m.message[0] & 0x80) != 0, "a message without a status byte");
  return 0;
}
