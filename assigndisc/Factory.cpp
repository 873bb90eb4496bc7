// The one export of Partivo.dll.
#include "assigndisc/PartivoImpl.h"
#include "platform/callconv.h"

extern "C" QLX_EXPORT IPartivo* CreatePartivo() {
  try {
    return new CPartivoImpl();
  } catch (...) {
    return nullptr;  // out of memory: no exception may leave the export
  }
}
