// A library whose entry point, like a plug-in refusing its host, gives no
// effect record.
extern "C" __attribute__((visibility("default"))) void* VSTPluginMain(void* /*hostCallback*/) {
  return nullptr;
}
