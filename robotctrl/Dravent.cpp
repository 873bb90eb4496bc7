// The plug-in's one export.
#include <new>

#include "robotctrl/DraventImpl.h"

extern "C" QLX_EXPORT IDravent* CreateDraventObj() {
  try {
    return new (std::nothrow) CDraventImpl();
  } catch (...) {  // the logger could not be set up
    return nullptr;
  }
}
