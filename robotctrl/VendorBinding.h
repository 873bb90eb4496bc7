#pragma once
// Binding of the outside libraries the robot controller calls: the vendor
// robot library (or, on Windows XP, the proxy library in its place) and the
// optional PTBD.dll. Both are loaded from the program folder and never
// unloaded.
#include <cstdint>
#include <string>

#include "platform/callconv.h"
#include "robotctrl/RobotFuncTable.h"

// MoveBD of PTBD.dll: moves the disc of the drive named "X:" elsewhere.
using PFN_MoveBD = uint32_t(QLX_CALL*)(const char16_t* DriveRoot);

// File name of the library that holds the vendor functions on the Windows
// version `platformId`/`major`/`minor`: the proxy on Windows XP (NT 5.1), the
// vendor library everywhere else.
const char* VendorLibraryName(uint32_t platformId, uint32_t major, uint32_t minor);

// The host executable's folder with its trailing separator; empty when the
// executable's path has no separator or cannot be read.
std::string ProgramFolder();

// Loads the vendor library chosen by the Windows version from the program
// folder and resolves the vendor functions into `table` in binding order.
// 1 when every entry is bound. 0 when the library cannot be loaded (table
// unchanged) or a name is missing (entries before it bound, its entry null,
// later entries unchanged).
int InitFunc(RobotFuncTable& table);

// MoveBD of PTBD.dll from the program folder, loaded anew at each call; null
// when the library or the function is missing.
PFN_MoveBD BindMoveBD();
