// The library's exported entry point and the instance factory it calls.
#pragma once

#include "frame/audio_effect.h"

namespace frame {

// Supplied by the instrument: a new object for one loaded instance, or null.
AudioEffect* createInstance(HostCallback hostCallback);

}  // namespace frame

extern "C" EffectRecord* VSTPluginMain(HostCallback hostCallback);
