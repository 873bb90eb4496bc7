#pragma once
// Calling convention and export marker of vendor-style C functions.
// 32-bit Windows: the callee removes the arguments (stdcall); elsewhere the
// platform's only convention applies.

#if defined(_WIN32) && !defined(_WIN64)
#define QLX_CALL __stdcall
#else
#define QLX_CALL
#endif

#if defined(_WIN32)
#define QLX_EXPORT __declspec(dllexport)
#else
#define QLX_EXPORT __attribute__((visibility("default")))
#endif
