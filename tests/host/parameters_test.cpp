// The three parameters as a host sees them: names, display texts, values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "tests/host/host_fixture.h"

using namespace testhost;
using hosttest::GuardedText;
using hosttest::HostTest;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

class Parameters : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    instance = std::make_unique<Instance>(library);
    ASSERT_NE(instance->effect(), nullptr);
  }
  int32_t preset() const { return static_cast<int32_t>(instance->dispatch(3)); }
  // The display text of a parameter, written into a guarded buffer.
  GuardedText display(int32_t index) const {
    GuardedText text;
    instance->dispatch(7, index, 0, text.data());
    return text;
  }
  std::unique_ptr<Instance> instance;
};

}  // namespace

TEST_F(Parameters, NamesAreBoundedToEight) {
  const char* names[] = {"Preset", "Release", "Filter"};
  for (int32_t index = 0; index < 3; ++index) {
    GuardedText text;
    EXPECT_EQ(instance->dispatch(8, index, 0, text.data()), 0);
    EXPECT_TRUE(text.holdsBounded(names[index], 8)) << index << ": " << text.text();
    GuardedText label;
    instance->dispatch(6, index, 0, label.data());
    EXPECT_EQ(label.at(0), 0) << "the unit is part of the display text";
  }
}

TEST_F(Parameters, OtherIndexesLeaveBuffersUntouched) {
  for (int32_t index : {3, -1, 100, std::numeric_limits<int32_t>::min()}) {
    GuardedText name, text;
    EXPECT_EQ(instance->dispatch(8, index, 0, name.data()), 0);
    EXPECT_EQ(instance->dispatch(7, index, 0, text.data()), 0);
    EXPECT_TRUE(name.untouched()) << index;
    EXPECT_TRUE(text.untouched()) << index;
    EXPECT_EQ(instance->getParameter(index), 0.0f);
  }
  const std::vector<uint8_t> before = instance->chunk();
  instance->setParameter(3, 0.9f);
  instance->setParameter(-1, 0.9f);
  instance->setParameter(100, 1.0f);
  EXPECT_EQ(instance->chunk(), before);
}

TEST_F(Parameters, FreshDisplays) {
  EXPECT_EQ(display(0).text(), "1");
  EXPECT_EQ(display(1).text(), "50.0 %");
  EXPECT_TRUE(display(2).holdsBounded("On", 8));
  EXPECT_EQ(instance->getParameter(0), 0.0f);
  EXPECT_EQ(instance->getParameter(1), 0.5f);
  EXPECT_EQ(instance->getParameter(2), 1.0f);
}

TEST_F(Parameters, ReleaseDisplayHasOneDecimalAndABlankBeforePercent) {
  const struct {
    float release;
    const char* text;
  } cases[] = {{0.123f, "12.3 %"}, {1.0f, "100.0 %"},  {0.0f, "0.0 %"},   {0.25f, "25.0 %"},
               {0.999f, "99.9 %"}, {-0.5f, "-50.0 %"}, {7.5f, "750.0 %"}, {10.0f, "1000.0 %"}};
  for (const auto& c : cases) {
    instance->setParameter(1, c.release);
    EXPECT_EQ(instance->getParameter(1), c.release);
    const GuardedText text = display(1);
    EXPECT_EQ(text.text(), c.text);
    EXPECT_TRUE(text.untouchedFrom(9)) << c.text;
  }
}

// Release is stored exactly as given, however far outside 0..1.
TEST_F(Parameters, ReleaseIsNeverClamped) {
  for (float value : {-3.0f, 1e30f, -kInf, kInf, std::numeric_limits<float>::denorm_min(), -0.0f}) {
    instance->setParameter(1, value);
    const float back = instance->getParameter(1);
    EXPECT_EQ(std::memcmp(&back, &value, sizeof(float)), 0) << value;
  }
  instance->setParameter(1, kNaN);
  EXPECT_TRUE(std::isnan(instance->getParameter(1)));
}

TEST_F(Parameters, PresetValueMapping) {
  const struct {
    float value;
    int32_t preset;
  } cases[] = {{0.016f, 0}, {0.017f, 1}, {0.5f, 16}, {1.0f, 31},   {-0.5f, 0},  {2.0f, 31},
               {0.0f, 0},   {kNaN, 0},   {kInf, 31}, {-kInf, 0},   {1e30f, 31}, {-1e30f, 0},
               {1e9f, 31},  {-1e9f, 0},  {0.03f, 1}, {0.999f, 31}, {0.98f, 30}};
  for (const auto& c : cases) {
    instance->setParameter(0, 20.0f / 31.0f);  // a preset the case must move away from
    ASSERT_EQ(preset(), 20);
    instance->setParameter(0, c.value);
    EXPECT_EQ(preset(), c.preset) << "value " << c.value;
  }
}

// Every preset comes back unchanged through getParameter and setParameter.
TEST_F(Parameters, EveryPresetRoundTrips) {
  for (int32_t n = 0; n < 32; ++n) {
    instance->setParameter(0, static_cast<float>(n) / 31.0f);
    ASSERT_EQ(preset(), n);
    const float value = instance->getParameter(0);
    EXPECT_EQ(value, static_cast<float>(n / 31.0)) << n;
    instance->setParameter(0, 0.0f);
    instance->setParameter(0, value);
    EXPECT_EQ(preset(), n);
    EXPECT_EQ(display(0).text(), std::to_string(n + 1));
  }
  instance->setParameter(0, 0.5f);
  EXPECT_NEAR(instance->getParameter(0), 0.516129f, 1e-6f);
}

TEST_F(Parameters, FilterSwitch) {
  const struct {
    float value;
    bool on;
  } cases[] = {{0.5f, true},   {std::nextafter(0.5f, 0.0f), false},
               {1.0f, true},   {0.0f, false},
               {kNaN, false},  {kInf, true},
               {-kInf, false}, {-1.0f, false},
               {1e30f, true}};
  for (const auto& c : cases) {
    instance->setParameter(2, c.on ? 0.0f : 1.0f);  // start from the other state
    instance->setParameter(2, c.value);
    EXPECT_EQ(instance->getParameter(2), c.on ? 1.0f : 0.0f) << c.value;
    EXPECT_TRUE(display(2).holdsBounded(c.on ? "On" : "Off", 8)) << c.value;
  }
}

// Only the preset parameter changes the preset; the other two leave it.
TEST_F(Parameters, ParametersAreIndependent) {
  instance->setParameter(0, 3.0f / 31.0f);
  instance->setParameter(1, 0.75f);
  instance->setParameter(2, 0.0f);
  EXPECT_EQ(preset(), 3);
  EXPECT_EQ(instance->getParameter(1), 0.75f);
  EXPECT_EQ(instance->getParameter(2), 0.0f);
  EXPECT_TRUE(recorder().count(42) == 0);  // parameters do not ask for a display refresh
}

// Opcode 2 passes a negative number straight to the instrument, which
// stores it unclamped: the reports show it, the chunk carries it, and a
// load clamps it.
TEST_F(Parameters, NegativeProgramNumberIsReportedUnclamped) {
  EXPECT_EQ(instance->dispatch(2, 0, -40), 0);
  EXPECT_EQ(preset(), -40);
  EXPECT_EQ(display(0).text(), "-39");
  EXPECT_EQ(instance->getParameter(0), static_cast<float>(-40 / 31.0));
  const std::vector<uint8_t> chunk = instance->chunk();
  ASSERT_EQ(chunk.size(), 20u);
  EXPECT_EQ(std::vector<uint8_t>(chunk.begin(), chunk.begin() + 4),
            (std::vector<uint8_t>{0xD8, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(instance->setChunk(chunk), 1);
  EXPECT_EQ(preset(), 0);
}

// Displays longer than a host's eight-character parameter text are cut to
// eight characters and a zero; nothing past byte 8 is written.
TEST_F(Parameters, LongDisplaysAreCutToEight) {
  instance->dispatch(2, 0, -2000000000);
  GuardedText text = display(0);
  EXPECT_EQ(text.text(), "-1999999");
  EXPECT_EQ(text.at(8), 0);
  EXPECT_TRUE(text.untouchedFrom(9));

  instance->dispatch(2, 0, std::numeric_limits<int32_t>::min());
  text = display(0);
  EXPECT_EQ(text.text(), "-2147483");
  EXPECT_TRUE(text.untouchedFrom(9));

  for (float release : {1e30f, -1e30f, 100.0f, kInf, -kInf, kNaN}) {
    instance->setParameter(1, release);
    text = display(1);
    EXPECT_LE(text.text().size(), 8u) << release;
    EXPECT_TRUE(text.untouchedFrom(9)) << release;
  }
  instance->setParameter(1, 1e30f);
  EXPECT_EQ(display(1).text(), "10000000");
  instance->setParameter(1, 100.0f);
  EXPECT_EQ(display(1).text(), "10000.0 ");
}
