// Opcode dispatch: each opcode reaches its operation through the virtual
// slot with the host's arguments in the right places.
#include <gtest/gtest.h>

#include <string>

#include "frame/audio_effect_x.h"

using namespace frame;

namespace {

// Remembers the last operation reached and its arguments.
struct Seen {
  std::string operation;
  int32_t a = 0, b = 0;
  intptr_t value = 0;
  void* ptr = nullptr;
  float opt = 0.0f;
  bool flag = false;
};

class FakeEditor : public EditorInterface {
 public:
  explicit FakeEditor(Seen& seen) : seen(seen) {}
  bool getViewRect(void* rect) override { return note("getViewRect", rect); }
  bool openView(void* parent) override { return note("openView", parent); }
  void closeView() override { note("closeView", nullptr); }
  void idleView() override { note("idleView", nullptr); }
  bool viewKeyDown(KeyRecord& key) override { return noteKey("viewKeyDown", key); }
  bool viewKeyUp(KeyRecord& key) override { return noteKey("viewKeyUp", key); }
  bool setViewKnobMode(intptr_t mode) override {
    note("setViewKnobMode", nullptr);
    seen.value = mode;
    return true;
  }

 private:
  bool note(const char* operation, void* ptr) {
    seen = Seen{};
    seen.operation = operation;
    seen.ptr = ptr;
    return true;
  }
  bool noteKey(const char* operation, const KeyRecord& key) {
    note(operation, nullptr);
    seen.a = key.character;
    seen.b = key.virtualKey;
    seen.value = key.modifiers;
    return true;
  }
  Seen& seen;
};

class Routed : public AudioEffectX {
 public:
  Routed() : AudioEffectX(nullptr, 4, 2) {}
  void withEditor() { editor = new FakeEditor(seen); }

  void renderBlock(float**, float**, int32_t) override {}
  void setProgram(int32_t program) override { note("setProgram").a = program; }
  int32_t getChunk(void** data, bool isPreset) override {
    note("getChunk", *data).flag = isPreset;
    return 11;
  }
  int32_t setChunk(void* data, intptr_t byteSize, bool isPreset) override {
    Seen& s = note("setChunk", data);
    s.value = byteSize;
    s.flag = isPreset;
    return 12;
  }
  intptr_t processEvents(void* events) override {
    note("processEvents", events);
    return 13;
  }
  bool getProgramNameByIndex(int32_t category, int32_t index, char* text) override {
    Seen& s = note("getProgramNameByIndex", text);
    s.a = category;
    s.b = index;
    return true;
  }
  bool offlineNotify(void* audioFile, intptr_t fileCount, bool start) override {
    Seen& s = note("offlineNotify", audioFile);
    s.value = fileCount;
    s.flag = start;
    return true;
  }
  bool setArrangement(void* inputs, void* outputs) override {
    note("setArrangement", outputs).value = reinterpret_cast<intptr_t>(inputs);
    return true;
  }
  bool setBypass(bool onOff) override {
    note("setBypass").flag = onOff;
    return true;
  }
  intptr_t vendorCall(int32_t index, intptr_t value, void* ptr, float opt) override {
    Seen& s = note("vendorCall", ptr);
    s.a = index;
    s.value = value;
    s.opt = opt;
    return -9;
  }
  bool setPanLaw(intptr_t type, float value) override {
    Seen& s = note("setPanLaw");
    s.value = type;
    s.opt = value;
    return true;
  }
  bool getMidiKeyName(int32_t channel, void* keyName) override {
    note("getMidiKeyName", keyName).a = channel;
    return true;
  }
  bool getEffectName(char* name) override {
    note("getEffectName", name);
    return true;
  }

  Seen seen;

 private:
  Seen& note(const char* operation, void* ptr = nullptr) {
    seen = Seen{};
    seen.operation = operation;
    seen.ptr = ptr;
    return seen;
  }
};

int parcel;

}  // namespace

TEST(DispatchRouting, ArgumentsReachTheirOperation) {
  Routed effect;
  void* chunkOut = &parcel;
  EXPECT_EQ(effect.dispatch(23, 1, 0, &chunkOut, 0.0f), 11);
  EXPECT_EQ(effect.seen.operation, "getChunk");
  EXPECT_TRUE(effect.seen.flag);
  EXPECT_EQ(effect.dispatch(23, 0, 0, &chunkOut, 0.0f), 11);
  EXPECT_FALSE(effect.seen.flag);

  EXPECT_EQ(effect.dispatch(24, -3, 20, &parcel, 0.0f), 12);
  EXPECT_EQ(effect.seen.operation, "setChunk");
  EXPECT_EQ(effect.seen.ptr, &parcel);
  EXPECT_EQ(effect.seen.value, 20);
  EXPECT_TRUE(effect.seen.flag);

  EXPECT_EQ(effect.dispatch(25, 0, 0, &parcel, 0.0f), 13);
  EXPECT_EQ(effect.seen.ptr, &parcel);

  char text[64] = {};
  EXPECT_EQ(effect.dispatch(29, 4, 6, text, 0.0f), 1);
  EXPECT_EQ(effect.seen.operation, "getProgramNameByIndex");
  EXPECT_EQ(effect.seen.a, 6);  // category from value
  EXPECT_EQ(effect.seen.b, 4);  // index from index

  EXPECT_EQ(effect.dispatch(38, 2, 5, &parcel, 0.0f), 1);
  EXPECT_EQ(effect.seen.value, 5);
  EXPECT_TRUE(effect.seen.flag);

  int inputs = 0;
  EXPECT_EQ(effect.dispatch(42, 0, reinterpret_cast<intptr_t>(&inputs), &parcel, 0.0f), 1);
  EXPECT_EQ(effect.seen.value, reinterpret_cast<intptr_t>(&inputs));
  EXPECT_EQ(effect.seen.ptr, &parcel);

  EXPECT_EQ(effect.dispatch(44, 0, 2, nullptr, 0.0f), 1);
  EXPECT_TRUE(effect.seen.flag);
  EXPECT_EQ(effect.dispatch(44, 1, 0, nullptr, 0.0f), 1);
  EXPECT_FALSE(effect.seen.flag);

  EXPECT_EQ(effect.dispatch(50, 7, -8, &parcel, 2.5f), -9);
  EXPECT_EQ(effect.seen.a, 7);
  EXPECT_EQ(effect.seen.value, -8);
  EXPECT_EQ(effect.seen.opt, 2.5f);

  EXPECT_EQ(effect.dispatch(74, 0, 3, nullptr, 0.707f), 1);
  EXPECT_EQ(effect.seen.value, 3);
  EXPECT_EQ(effect.seen.opt, 0.707f);

  EXPECT_EQ(effect.dispatch(66, 9, 0, &parcel, 0.0f), 1);
  EXPECT_EQ(effect.seen.a, 9);
}

// The program opcode passes on only numbers below the program count,
// compared as signed 32-bit integers.
TEST(DispatchRouting, ProgramNumbersBelowTheCountOnly) {
  Routed effect;  // four programs
  effect.dispatch(2, 0, 3, nullptr, 0.0f);
  EXPECT_EQ(effect.seen.operation, "setProgram");
  EXPECT_EQ(effect.seen.a, 3);
  effect.seen = Seen{};
  effect.dispatch(2, 0, 4, nullptr, 0.0f);
  EXPECT_EQ(effect.seen.operation, "");
  effect.dispatch(2, 0, -1, nullptr, 0.0f);
  EXPECT_EQ(effect.seen.a, -1);
}

// Boolean answers reach the host as exactly 1.
TEST(DispatchRouting, BooleanAnswersAreOne) {
  Routed effect;
  char name[64];
  EXPECT_EQ(effect.dispatch(45, 0, 0, name, 0.0f), 1);
  EXPECT_EQ(effect.dispatch(26, 0, 0, nullptr, 0.0f), 1);
}

TEST(DispatchRouting, EditorOpcodesAreForwardedWhenAnEditorExists) {
  Routed effect;
  EXPECT_EQ(effect.dispatch(14, 0, 0, &parcel, 0.0f), 0);
  EXPECT_EQ(effect.seen.operation, "");  // no editor: nothing called

  effect.withEditor();
  EXPECT_EQ(effect.dispatch(14, 0, 0, &parcel, 0.0f), 1);
  EXPECT_EQ(effect.seen.operation, "openView");
  EXPECT_EQ(effect.seen.ptr, &parcel);
  EXPECT_EQ(effect.dispatch(13, 0, 0, &parcel, 0.0f), 1);
  EXPECT_EQ(effect.seen.operation, "getViewRect");
  EXPECT_EQ(effect.dispatch(15, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(effect.seen.operation, "closeView");
  EXPECT_EQ(effect.dispatch(19, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(effect.seen.operation, "idleView");
  EXPECT_EQ(effect.dispatch(61, 0, 2, nullptr, 0.0f), 1);
  EXPECT_EQ(effect.seen.value, 2);

  // Key record: character from index, virtual key the low byte of value,
  // modifiers the low byte of opt truncated toward zero.
  EXPECT_EQ(effect.dispatch(59, 'a', 0x1234, nullptr, 0x105 + 0.9f), 1);
  EXPECT_EQ(effect.seen.operation, "viewKeyDown");
  EXPECT_EQ(effect.seen.a, 'a');
  EXPECT_EQ(effect.seen.b, 0x34);
  EXPECT_EQ(effect.seen.value, 0x05);
  EXPECT_EQ(effect.dispatch(60, 'b', 0x0D, nullptr, 2.0f), 1);
  EXPECT_EQ(effect.seen.operation, "viewKeyUp");
  EXPECT_EQ(effect.seen.b, 0x0D);
  EXPECT_EQ(effect.seen.value, 2);
}
