// The exported entry point as a host meets it.
#include <gtest/gtest.h>

#include "tests/host/host_fixture.h"

using namespace testhost;
using hosttest::HostTest;

using EntryPoint = HostTest;

// The version query comes before anything else, without a record.
TEST_F(EntryPoint, AsksTheHostVersionFirst) {
  Instance instance(library);
  ASSERT_NE(instance.effect(), nullptr);
  const Recorder& r = recorder();
  ASSERT_EQ(r.calls.size(), 1u);  // creation asks nothing else
  EXPECT_EQ(r.calls[0].effect, nullptr);
  EXPECT_EQ(r.calls[0].opcode, 1);
  EXPECT_EQ(r.calls[0].index, 0);
  EXPECT_EQ(r.calls[0].value, 0);
  EXPECT_EQ(r.calls[0].ptr, nullptr);
  EXPECT_EQ(r.calls[0].opt, 0.0f);
}

TEST_F(EntryPoint, HostAnsweringZeroGetsNoEffect) {
  recorder().answers.version = 0;
  EffectRecord* record = library.entry()(&recordingCallback);
  EXPECT_EQ(record, nullptr);
  EXPECT_EQ(recorder().calls.size(), 1u);

  // Any other answer, negative ones included, creates the instrument.
  recorder().answers.version = -1;
  Instance instance(library);
  EXPECT_NE(instance.effect(), nullptr);
}

TEST_F(EntryPoint, NullCallbackGivesNoEffect) {
  EXPECT_EQ(library.entry()(nullptr), nullptr);
  EXPECT_EQ(library.entry("MAIN")(nullptr), nullptr);
}

TEST_F(EntryPoint, BothExportedNamesAreOneFunction) {
  PluginLibrary::Entry main = library.entry("VSTPluginMain");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(library.entry("MAIN"), main);
  EffectRecord* record = library.entry("MAIN")(&recordingCallback);
  ASSERT_NE(record, nullptr);
  EXPECT_EQ(record->dispatcher(record, 22, 0, 0, nullptr, 0.0f), 0x4E764566);
  EXPECT_EQ(record->dispatcher(record, 1, 0, 0, nullptr, 0.0f), 1);
}

// Each call creates an object of its own; nothing is shared between them.
TEST_F(EntryPoint, InstancesAreIndependent) {
  Instance first(library);
  Instance second(library);
  ASSERT_NE(first.effect(), nullptr);
  ASSERT_NE(second.effect(), nullptr);
  EXPECT_NE(first.effect(), second.effect());
  EXPECT_NE(first.effect()->object, second.effect()->object);
  EXPECT_NE(first.effect()->object, nullptr);

  first.setParameter(0, 1.0f);
  first.setParameter(1, 0.125f);
  first.setParameter(2, 0.0f);
  EXPECT_EQ(first.dispatch(3), 31);
  EXPECT_EQ(second.dispatch(3), 0);
  EXPECT_EQ(second.getParameter(1), 0.5f);
  EXPECT_EQ(second.getParameter(2), 1.0f);

  // Closing one leaves the other working.
  EXPECT_EQ(first.close(), 1);
  EXPECT_EQ(second.getParameter(1), 0.5f);
  EXPECT_EQ(second.text(45), "Tavrel Sarn2");
}

TEST_F(EntryPoint, CloseAnswersOneAndAsksTheHostNothing) {
  Instance instance(library);
  recorder().calls.clear();
  EXPECT_EQ(instance.close(), 1);
  EXPECT_TRUE(recorder().calls.empty());
}

// Hosts create, open and close instances one after another.
TEST_F(EntryPoint, CreateOpenCloseRepeatedly) {
  for (int i = 0; i < 20; ++i) {
    Instance instance(library);
    ASSERT_NE(instance.effect(), nullptr);
    EXPECT_EQ(instance.dispatch(0), 0);  // open
  }
}
