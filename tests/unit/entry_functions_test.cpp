// The effect record's entry functions: they find the object through the
// record, reach its virtual operations, close it, and never let a failure
// unwind into the host.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "frame/audio_effect_x.h"

using namespace frame;

namespace {

class Logged : public AudioEffectX {
 public:
  explicit Logged(std::vector<std::string>& log, bool failing = false)
      : AudioEffectX(nullptr, 0, 1), log(log), failing(failing) {}
  ~Logged() override { log.push_back("destroyed"); }
  void close() override {
    log.push_back("close");
    if (failing) throw std::runtime_error("close failed");
  }
  int32_t getVendorVersion() override {
    if (failing) throw std::bad_alloc();
    return 7;
  }
  void renderBlock(float**, float** outputs, int32_t frames) override {
    log.push_back("render " + std::to_string(frames));
    outputs[0][0] = 1.0f;
  }
  void setParameter(int32_t index, float value) override {
    log.push_back("set " + std::to_string(index) + " " + std::to_string(value));
  }
  float getParameter(int32_t index) override { return 0.5f + static_cast<float>(index); }

  std::vector<std::string>& log;
  bool failing;
};

}  // namespace

TEST(EntryFunctions, CloseRunsCloseThenDestroysAndAnswersOne) {
  std::vector<std::string> log;
  auto* effect = new Logged(log);
  EffectRecord* record = effect->getEffectRecord();
  EXPECT_EQ(record->dispatcher(record, 1, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"close", "destroyed"}));
}

TEST(EntryFunctions, FailuresAreAnsweredWithZero) {
  std::vector<std::string> log;
  auto* effect = new Logged(log, true);
  EffectRecord* record = effect->getEffectRecord();
  EXPECT_EQ(record->dispatcher(record, 49, 0, 0, nullptr, 0.0f), 0);
  // A failing close still ends the object: the host will not call again.
  EXPECT_EQ(record->dispatcher(record, 1, 0, 0, nullptr, 0.0f), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"close", "destroyed"}));
}

TEST(EntryFunctions, EntriesReachTheObjectsOperations) {
  std::vector<std::string> log;
  auto* effect = new Logged(log);
  EffectRecord* record = effect->getEffectRecord();
  EXPECT_EQ(record->dispatcher(record, 49, 0, 0, nullptr, 0.0f), 7);
  record->setParameter(record, 0, 0.25f);
  EXPECT_EQ(record->getParameter(record, 1), 1.5f);
  float sample = 0.0f;
  float* outputs[1] = {&sample};
  record->replace(record, nullptr, outputs, 1);
  EXPECT_EQ(sample, 1.0f);
  EXPECT_EQ(log, (std::vector<std::string>{"set 0 0.250000", "render 1"}));
  record->dispatcher(record, 1, 0, 0, nullptr, 0.0f);
}

// A record without an object behind it, or no record, is answered with
// nothing.
TEST(EntryFunctions, RecordWithoutObjectIsIgnored) {
  std::vector<std::string> log;
  Logged effect(log);
  EffectRecord copy = *effect.getEffectRecord();
  copy.object = nullptr;
  EXPECT_EQ(copy.dispatcher(&copy, 22, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(copy.dispatcher(&copy, 1, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(copy.getParameter(&copy, 0), 0.0f);
  copy.setParameter(&copy, 0, 1.0f);
  copy.replace(&copy, nullptr, nullptr, 64);
  copy.replaceDouble(&copy, nullptr, nullptr, 64);
  copy.accumulate(&copy, nullptr, nullptr, 64);
  EXPECT_EQ(copy.dispatcher(nullptr, 22, 0, 0, nullptr, 0.0f), 0);
  EXPECT_TRUE(log.empty());
}
