// Stand-in host program for the capacity tests. Its own folder is the program
// folder, where the plug-in looks for "assign_disc.ini".
//   partivo_probe caps                       capacity of every disc type value
//   partivo_probe assign DLL TYPE SOURCE     assigns SOURCE with DLL's object
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "assigndisc/IPartivo.h"
#include "assigndisc/PartivoImpl.h"
#include "platform/library.h"

namespace {

int PrintCapacities() {
  for (int32_t type : {0, 1, 2, 3, 4, 5, 6, 7, 8, 255, -1}) {
    std::printf("type %d: %llu\n", type,
                static_cast<unsigned long long>(CPartivoImpl::GetDiscMaxSize(type)));
  }
  return 0;
}

int AssignWithPlugin(const char* libraryPath, int32_t discType, const char* source) {
  auto library = qlx::platform::LoadLibraryAt(libraryPath);
  auto create =
      reinterpret_cast<CreatePartivoFunc>(qlx::platform::FindExport(library, kCreatePartivoName));
  if (!create) return 2;
  IPartivo* partivo = create();
  partivo->AddItem(source, "", ITEM_OBJECT_1);
  const bool assigned = partivo->AssignDiscByDisc(discType);
  std::printf("assigned %d discs %d\n", assigned ? 1 : 0, partivo->GetDiscCount());
  partivo->Release();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "caps") == 0) return PrintCapacities();
  if (argc == 5 && std::strcmp(argv[1], "assign") == 0) {
    return AssignWithPlugin(argv[2], static_cast<int32_t>(std::atoi(argv[3])), argv[4]);
  }
  return 1;
}
