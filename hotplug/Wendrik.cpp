// The plug-in's one export.
#include "hotplug/CUsbHotplug.h"
#include "platform/callconv.h"

extern "C" QLX_EXPORT Wendrik::IHotplug* Wendrik_CreateHotplug() {
  try {
    return QLXSdk::CSingleton<Wendrik::CUsbHotplug>::Instance();
  } catch (...) {
    return nullptr;
  }
}
