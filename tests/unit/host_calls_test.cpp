// Requests the frame makes of the host: what each sends through the host
// callback, how it reads the answer, and its answer without a callback.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "frame/audio_effect_x.h"
#include "instrument/sarn2_vst.h"
#include "tests/support/temp_rom_dir.h"
#include "tests/unit/fake_host.h"

using namespace frame;

using namespace sarn2;

using testhost::HostCall;

namespace {

class FrameEffect : public AudioEffectX {
 public:
  explicit FrameEffect(HostCallback callback) : AudioEffectX(callback, 0, 2) {}
  void renderBlock(float**, float**, int32_t) override {}
  void setParameter(int32_t index, float value) override {
    lastIndex = index;
    lastValue = value;
  }
  int32_t lastIndex = -1;
  float lastValue = 0.0f;
};

class HostCalls : public ::testing::Test {
 protected:
  using FakeHost = fakehost::FakeHost;
  void SetUp() override { fakehost::reset(); }
  FakeHost& host() { return fakehost::host(); }

  // The one call made since the last reset, with every argument checked.
  void expectOneCall(AudioEffect& effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                     void* ptr = nullptr, float opt = 0.0f) {
    ASSERT_EQ(host().calls.size(), 1u) << "opcode " << opcode;
    const HostCall& call = host().calls[0];
    EXPECT_EQ(call.effect, effect.getEffectRecord());
    EXPECT_EQ(call.opcode, opcode);
    EXPECT_EQ(call.index, index);
    EXPECT_EQ(call.value, value);
    EXPECT_EQ(call.ptr, ptr);
    EXPECT_EQ(call.opt, opt);
  }
};

}  // namespace

TEST_F(HostCalls, HostVersion) {
  FrameEffect effect(&fakehost::callback);
  EXPECT_EQ(effect.getHostVersion(), 1);  // the host answers 0
  expectOneCall(effect, 1);
  host().answers[1] = 2400;
  EXPECT_EQ(effect.getHostVersion(), 2400);
  host().answers[1] = -7;
  EXPECT_EQ(effect.getHostVersion(), -7);
}

TEST_F(HostCalls, RefreshSampleRateTakesOnlyPositiveAnswers) {
  FrameEffect effect(&fakehost::callback);
  host().answers[16] = 48000;
  EXPECT_EQ(effect.refreshSampleRate(), 48000.0f);
  EXPECT_EQ(effect.getSampleRate(), 48000.0f);
  expectOneCall(effect, 16);
  host().answers[16] = 0;
  EXPECT_EQ(effect.refreshSampleRate(), 48000.0f);
  host().answers[16] = -96000;
  EXPECT_EQ(effect.refreshSampleRate(), 48000.0f);
  EXPECT_EQ(effect.getSampleRate(), 48000.0f);
  host().answers[16] = 1;
  EXPECT_EQ(effect.refreshSampleRate(), 1.0f);
}

TEST_F(HostCalls, RefreshBlockSizeTakesOnlyPositiveAnswers) {
  FrameEffect effect(&fakehost::callback);
  EXPECT_EQ(effect.refreshBlockSize(), 1024);  // answer 0: the default stays
  expectOneCall(effect, 17);
  host().answers[17] = 256;
  EXPECT_EQ(effect.refreshBlockSize(), 256);
  EXPECT_EQ(effect.getBlockSize(), 256);
  host().answers[17] = -1;
  EXPECT_EQ(effect.refreshBlockSize(), 256);
}

TEST_F(HostCalls, ConnectionQueriesAnswerTrueForZero) {
  FrameEffect effect(&fakehost::callback);
  EXPECT_TRUE(effect.isInputConnected(3));
  expectOneCall(effect, 4, 3, 0);
  host().calls.clear();
  host().answers[4] = 1;
  EXPECT_FALSE(effect.isInputConnected(3));
  EXPECT_FALSE(effect.isOutputConnected(2));
  ASSERT_EQ(host().calls.size(), 2u);
  EXPECT_EQ(host().calls[1].index, 2);
  EXPECT_EQ(host().calls[1].value, 1);
}

TEST_F(HostCalls, HostCanDoAnswersOneForAnyNonZero) {
  FrameEffect effect(&fakehost::callback);
  char capability[] = "sendVstEvents";
  host().answers[37] = 5;
  EXPECT_EQ(effect.hostCanDo(capability), 1);
  expectOneCall(effect, 37, 0, 0, capability);
  host().answers[37] = -1;
  EXPECT_EQ(effect.hostCanDo(capability), 1);
  host().answers[37] = 0;
  EXPECT_EQ(effect.hostCanDo(capability), 0);
}

TEST_F(HostCalls, NeighbourPluginQueriesDoNotSendTheirArgument) {
  FrameEffect effect(&fakehost::callback);
  EffectRecord neighbour{};
  host().answers[20] = reinterpret_cast<intptr_t>(&neighbour);
  EXPECT_EQ(effect.getPreviousPlugin(3), &neighbour);
  expectOneCall(effect, 20, 0);
  host().calls.clear();
  EXPECT_EQ(effect.getNextPlugin(4), nullptr);
  expectOneCall(effect, 21, 0);
}

// setParameter runs first, then the host hears of the change.
TEST_F(HostCalls, AutomateParameterSetsThenTellsTheHost) {
  testhost::TempDir roms;
  Sarn2VST synth(&fakehost::callback, roms.path());
  float releaseSeenByHost = -1.0f;
  host().onCall = [&](const HostCall&) { releaseSeenByHost = synth.engine().release(); };
  synth.automateParameter(1, 0.25f);
  EXPECT_EQ(synth.engine().release(), 0.25f);
  EXPECT_EQ(releaseSeenByHost, 0.25f);
  expectOneCall(synth, 0, 1, 0, nullptr, 0.25f);
}

TEST_F(HostCalls, ResumeAsksForMidiOnce) {
  testhost::TempDir roms;
  Sarn2VST synth(&fakehost::callback, roms.path());
  host().calls.clear();
  synth.resume();
  expectOneCall(synth, 6, 0, 1);
}

namespace {

// The instrument with the synth flag cleared, answering its own capability
// query as configured.
class CapableSynth : public Sarn2VST {
 public:
  CapableSynth(const std::string& romDirectory, intptr_t answer)
      : Sarn2VST(&fakehost::callback, romDirectory), capabilityAnswer(answer) {
    setIsSynth(false);
  }
  intptr_t queryCapability(const char* text) override {
    asked = text;
    return capabilityAnswer;
  }
  intptr_t capabilityAnswer;
  std::string asked;
};

}  // namespace

TEST_F(HostCalls, ResumeWithoutTheSynthFlagAsksItsOwnCapability) {
  testhost::TempDir roms;
  {
    CapableSynth synth(roms.path(), 1);
    synth.resume();
    EXPECT_EQ(synth.asked, "receiveVstMidiEvent");
    expectOneCall(synth, 6, 0, 1);
  }
  for (intptr_t answer : {0, 2, -1}) {
    fakehost::reset();
    CapableSynth synth(roms.path(), answer);
    synth.resume();
    EXPECT_TRUE(host().calls.empty()) << "capability answer " << answer;
  }
}

TEST_F(HostCalls, SelectorsAndChunkFileSendNothingForNull) {
  FrameEffect effect(&fakehost::callback);
  host().answers[45] = host().answers[46] = host().answers[48] = 1;
  EXPECT_FALSE(effect.openFileSelector(nullptr));
  EXPECT_FALSE(effect.closeFileSelector(nullptr));
  EXPECT_FALSE(effect.getChunkFile(nullptr));
  EXPECT_TRUE(host().calls.empty());

  int selector = 0;
  EXPECT_TRUE(effect.openFileSelector(&selector));
  expectOneCall(effect, 45, 0, 0, &selector);
  host().calls.clear();
  EXPECT_TRUE(effect.closeFileSelector(&selector));
  expectOneCall(effect, 46, 0, 0, &selector);
  host().calls.clear();
  EXPECT_TRUE(effect.getChunkFile(&selector));
  expectOneCall(effect, 48, 0, 0, &selector);
  host().answers[45] = 0;
  EXPECT_FALSE(effect.openFileSelector(&selector));
}

namespace {

struct ArgumentCase {
  const char* name;
  std::function<intptr_t(AudioEffectX&)> call;  // the result as an integer
  int32_t opcode, index;
  intptr_t value;
  void* ptr;
  float opt;
  intptr_t hostAnswer, expected;
};

int task, files, window, parcel;
char textBuffer[256];

intptr_t asInt(const void* p) { return reinterpret_cast<intptr_t>(p); }

}  // namespace

// Each request puts its arguments where the host expects them and reads the
// answer its own way.
TEST_F(HostCalls, ArgumentsAndAnswers) {
  const ArgumentCase cases[] = {
      {"getTimeInfo", [](AudioEffectX& e) { return asInt(e.getTimeInfo(15)); }, 7, 0, 15, nullptr, 0.0f,
       asInt(&parcel), asInt(&parcel)},
      {"getTempoAt", [](AudioEffectX& e) { return e.getTempoAt(4096); }, 10, 0, 4096, nullptr, 0.0f, 1200000,
       1200000},
      {"resizeWindow", [](AudioEffectX& e) { return intptr_t{e.resizeWindow(640, 480)}; }, 15, 640, 480,
       nullptr, 0.0f, 7, 1},
      {"offlineStart", [](AudioEffectX& e) { return intptr_t{e.offlineStart(&files, 3, 2)}; }, 25, 2, 3,
       &files, 0.0f, 1, 1},
      {"offlineRead", [](AudioEffectX& e) { return intptr_t{e.offlineRead(&task, 9, true)}; }, 26, 1, 9,
       &task, 0.0f, 2, 1},
      {"offlineRead", [](AudioEffectX& e) { return intptr_t{e.offlineRead(&task, 9, false)}; }, 26, 0, 9,
       &task, 0.0f, 0, 0},
      {"offlineWrite", [](AudioEffectX& e) { return intptr_t{e.offlineWrite(&task, 4)}; }, 27, 0, 4, &task,
       0.0f, 1, 1},
      {"setOutputSampleRate", [](AudioEffectX& e) { return e.setOutputSampleRate(96000.0f); }, 30, 0, 0,
       nullptr, 96000.0f, -2, -2},
      {"hostVendorCall", [](AudioEffectX& e) { return e.hostVendorCall(5, 6, &parcel, 1.5f); }, 35, 5, 6,
       &parcel, 1.5f, 99, 99},
      {"openWindow", [](AudioEffectX& e) { return e.openWindow(&window); }, 39, 0, 0, &window, 0.0f, 12, 12},
      {"closeWindow", [](AudioEffectX& e) { return intptr_t{e.closeWindow(&window)}; }, 40, 0, 0, &window,
       0.0f, 0, 0},
      {"beginParameterEdit", [](AudioEffectX& e) { return intptr_t{e.beginParameterEdit(2)}; }, 43, 2, 0,
       nullptr, 0.0f, 1, 1},
      {"endParameterEdit", [](AudioEffectX& e) { return intptr_t{e.endParameterEdit(1)}; }, 44, 1, 0, nullptr,
       0.0f, 3, 1},
      {"getHostVendor", [](AudioEffectX& e) { return intptr_t{e.getHostVendor(textBuffer)}; }, 32, 0, 0,
       textBuffer, 0.0f, 1, 1},
      {"getHostProduct", [](AudioEffectX& e) { return intptr_t{e.getHostProduct(textBuffer)}; }, 33, 0, 0,
       textBuffer, 0.0f, 0, 0},
      {"requestEvents",
       [](AudioEffectX& e) {
         e.requestEvents(1);
         return intptr_t{0};
       },
       6, 0, 1, nullptr, 0.0f, 55, 0},
      {"hostIdle",
       [](AudioEffectX& e) {
         e.hostIdle();
         return intptr_t{0};
       },
       3, 0, 0, nullptr, 0.0f, 8, 0},
      {"automateParameter",
       [](AudioEffectX& e) {
         e.automateParameter(2, 0.75f);
         return intptr_t{0};
       },
       0, 2, 0, nullptr, 0.75f, 1, 0},
  };
  for (const ArgumentCase& c : cases) {
    SCOPED_TRACE(c.name);
    fakehost::reset();
    host().answers[c.opcode] = c.hostAnswer;
    FrameEffect effect(&fakehost::callback);
    EXPECT_EQ(c.call(effect), c.expected);
    expectOneCall(effect, c.opcode, c.index, c.value, c.ptr, c.opt);
  }
}

namespace {

struct PlainCase {
  const char* name;
  int32_t opcode;
  std::function<intptr_t(AudioEffectX&)> call;
};

}  // namespace

// Requests that send nothing but their opcode, grouped by how the answer is
// read; for each, a host answer of 3 and a missing host.
TEST_F(HostCalls, OpcodeOnlyRequests) {
  const PlainCase asIs[] = {
      {"getHostCurrentId", 2, [](AudioEffectX& e) { return e.getHostCurrentId(); }},
      {"getHostParameterCount", 11, [](AudioEffectX& e) { return e.getHostParameterCount(); }},
      {"getParameterQuantization", 12, [](AudioEffectX& e) { return e.getParameterQuantization(); }},
      {"getInputLatency", 18, [](AudioEffectX& e) { return e.getInputLatency(); }},
      {"getOutputLatency", 19, [](AudioEffectX& e) { return e.getOutputLatency(); }},
      {"hostWillReplace", 22, [](AudioEffectX& e) { return e.hostWillReplace(); }},
      {"getProcessLevel", 23, [](AudioEffectX& e) { return e.getProcessLevel(); }},
      {"getAutomationState", 24, [](AudioEffectX& e) { return e.getAutomationState(); }},
      {"getHostVendorVersion", 34, [](AudioEffectX& e) { return e.getHostVendorVersion(); }},
      {"getHostLanguage", 38, [](AudioEffectX& e) { return e.getHostLanguage(); }},
      {"getHostOutputArrangement", 31, [](AudioEffectX& e) { return asInt(e.getHostOutputArrangement()); }},
      {"getHostDirectory", 41, [](AudioEffectX& e) { return asInt(e.getHostDirectory()); }},
      {"getHostInputArrangement", 49, [](AudioEffectX& e) { return asInt(e.getHostInputArrangement()); }},
  };
  const PlainCase asBoolean[] = {
      {"notifyIoChanged", 13, [](AudioEffectX& e) { return intptr_t{e.notifyIoChanged()}; }},
      {"requestIdle", 14, [](AudioEffectX& e) { return intptr_t{e.requestIdle()}; }},
      {"offlineCurrentPass", 28, [](AudioEffectX& e) { return intptr_t{e.offlineCurrentPass()}; }},
      {"offlineCurrentMetaPass", 29, [](AudioEffectX& e) { return intptr_t{e.offlineCurrentMetaPass()}; }},
      {"refreshDisplay", 42, [](AudioEffectX& e) { return intptr_t{e.refreshDisplay()}; }},
  };
  for (const PlainCase& c : asIs) {
    SCOPED_TRACE(c.name);
    fakehost::reset();
    host().answers[c.opcode] = 3;
    FrameEffect effect(&fakehost::callback);
    EXPECT_EQ(c.call(effect), 3);
    expectOneCall(effect, c.opcode);
    FrameEffect alone(nullptr);
    EXPECT_EQ(c.call(alone), 0);
  }
  for (const PlainCase& c : asBoolean) {
    SCOPED_TRACE(c.name);
    fakehost::reset();
    host().answers[c.opcode] = 3;
    FrameEffect effect(&fakehost::callback);
    EXPECT_EQ(c.call(effect), 1);
    expectOneCall(effect, c.opcode);
    host().answers[c.opcode] = 0;
    EXPECT_EQ(c.call(effect), 0);
    FrameEffect alone(nullptr);
    EXPECT_EQ(c.call(alone), 0);
  }
}

// Without a host every request answers its fallback, and automation still
// reaches the parameter.
TEST_F(HostCalls, FallbacksWithoutAHost) {
  FrameEffect effect(nullptr);
  int selector = 0;
  EXPECT_EQ(effect.getHostVersion(), 1);
  EXPECT_TRUE(effect.isInputConnected(0));
  EXPECT_TRUE(effect.isOutputConnected(0));
  EXPECT_EQ(effect.getTimeInfo(0), nullptr);
  EXPECT_EQ(effect.getTempoAt(0), 0);
  EXPECT_FALSE(effect.resizeWindow(10, 10));
  EXPECT_EQ(effect.refreshSampleRate(), 44100.0f);
  EXPECT_EQ(effect.refreshBlockSize(), 1024);
  EXPECT_EQ(effect.getPreviousPlugin(0), nullptr);
  EXPECT_EQ(effect.getNextPlugin(0), nullptr);
  EXPECT_FALSE(effect.offlineStart(&files, 1, 1));
  EXPECT_FALSE(effect.offlineRead(&task, 0, true));
  EXPECT_FALSE(effect.offlineWrite(&task, 0));
  EXPECT_EQ(effect.setOutputSampleRate(48000.0f), 0);
  EXPECT_EQ(effect.hostVendorCall(1, 2, &parcel, 3.0f), 0);
  EXPECT_EQ(effect.hostCanDo("sendVstEvents"), 0);
  EXPECT_EQ(effect.openWindow(&window), 0);
  EXPECT_FALSE(effect.closeWindow(&window));
  EXPECT_FALSE(effect.beginParameterEdit(0));
  EXPECT_FALSE(effect.endParameterEdit(0));
  EXPECT_FALSE(effect.openFileSelector(&selector));
  EXPECT_FALSE(effect.closeFileSelector(&selector));
  EXPECT_FALSE(effect.getChunkFile(&selector));
  EXPECT_FALSE(effect.getHostVendor(textBuffer));
  EXPECT_FALSE(effect.getHostProduct(textBuffer));
  effect.requestEvents(1);
  effect.hostIdle();
  effect.automateParameter(1, 0.5f);
  EXPECT_EQ(effect.lastIndex, 1);
  EXPECT_EQ(effect.lastValue, 0.5f);

  testhost::TempDir roms;
  Sarn2VST synth(nullptr, roms.path());
  synth.automateParameter(0, 1.0f);
  EXPECT_EQ(synth.getProgram(), 31);
  synth.resume();  // nothing to ask
}
