#pragma once
// The disc-assignment object of Partivo.dll: collects files and folders,
// places them next-fit on as many discs of one capacity as they need, and
// hands out one record tree per disc. The burning service calls it by slot
// position, so the order of the operations is fixed.
#include <cstdint>

#include "assigndisc/IQLXAssignFile.h"

enum DiscType : int32_t {
  CD = 1,
  DVD = 2,
  DVDDL = 3,
  BD25 = 4,
  BD50 = 5,
  BD100 = 6,
  BD128 = 7,
};

enum SortMode : int32_t {
  SORT_BY_SIZE = 0,  // ascending aligned size
  SORT_BY_NAME = 1,  // ascending name, ASCII case ignored (default)
  SORT_BY_TIME = 2,  // oldest modification first
};                   // any other value keeps insertion order

// Item flags, tested in this order.
enum AssignItemFlag : int32_t {
  ITEM_EVERY_DISC = 0x10,  // source folder goes onto every disc; space reserved first
  ITEM_OBJECT_1 = 0x01,    // file or folder at the source path goes to the target path
  ITEM_OBJECT_2 = 0x02,    // same as ITEM_OBJECT_1
  ITEM_FOLDER = 0x04,      // make the folder named by the target path
};

class IPartivo {
 public:
  virtual void Release() = 0;                                                       // slot 0
  virtual void AddItem(const char* source, const char* target, int32_t flags) = 0;  // slot 1
  virtual void SetSortMode(int32_t mode) = 0;                                       // slot 2
  virtual void SetSpareOption(int32_t option) = 0;                                  // slot 3
  virtual void SetSplitLevel(int32_t level) = 0;         // slot 4: <= 0 whole folders
  virtual bool AssignDiscByDisc(int32_t discType) = 0;   // slot 5
  virtual bool AssignDiscBySize(uint64_t capacity) = 0;  // slot 6
  virtual int32_t GetDiscCount() = 0;                    // slot 7
  virtual IQLXAssignFile* GetDisc(uint32_t index) = 0;   // slot 8: null when out of range

 protected:
  ~IPartivo() = default;
};

// The one export of Partivo.dll: extern "C" IPartivo* CreatePartivo(void),
// a new, independent object per call (release it with slot 0).
using CreatePartivoFunc = IPartivo* (*)();
constexpr const char* kCreatePartivoName = "CreatePartivo";
