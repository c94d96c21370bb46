#include "tools/host/hosted_plugin.h"

namespace pluginhost {

HostedPlugin::HostedPlugin(const std::string& libraryPath, float sampleRate, int32_t blockSize,
                           const std::string& hostName) {
  HostCallLog& log = callLog();
  log.reset();
  log.recording = false;
  log.answers.sampleRate = sampleRate;
  log.answers.blockSize = blockSize;
  log.answers.name = hostName;
  log.answers.vendorVersion = 1;
  log.answers.acceptsMidi = 1;
  log.answers.updatesDisplay = 1;

  library = std::make_unique<PluginLibrary>(libraryPath);
  if (!library->loaded())
    throw LoadError("cannot load " + libraryPath + " as a plug-in library: " + library->error());
  if (library->findEntry() == nullptr)
    throw LoadError(libraryPath + " is not a plug-in: it exports no entry point (VSTPluginMain or MAIN)");
  plugin = std::make_unique<PluginInstance>(*library);
  EffectRecord* effect = plugin->effect();
  if (effect == nullptr)
    throw LoadError(libraryPath + " is not a usable plug-in: its entry point returned no effect");
  if (effect->magic != kEffectMagic) {
    // Not a record this host understands: nothing in it may be called.
    plugin->abandon();
    throw LoadError(libraryPath +
                    " is not a plug-in of this interface: its effect record has the wrong magic number");
  }
  if (effect->outputCount < 1 || effect->replace == nullptr)
    throw LoadError(libraryPath + " has no audio output to render");

  plugin->dispatch(EffectOpcode::open);
  plugin->setSampleRate(sampleRate);
  plugin->setBlockSize(blockSize);
}

}  // namespace pluginhost
