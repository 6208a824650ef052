#pragma once
// The twelve functions as every dcrf32 built here exports them (the virtual
// reader, the PC/SC one): undecorated, and on 32-bit Windows stdcall (the
// DLL is linked with --kill-at).

#include "dcrf32/functions.h"

#if defined(_WIN32)
#if defined(DCRF32_BUILDING)
#define DCRF32_API __declspec(dllexport)
#else
#define DCRF32_API __declspec(dllimport)
#endif
#else
#define DCRF32_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define DCRF32_DECLARE(ret, name, params) DCRF32_API ret DCRF32_CALL name params;
DCRF32_FUNCTIONS(DCRF32_DECLARE)
#undef DCRF32_DECLARE

#ifdef __cplusplus
}
#endif
