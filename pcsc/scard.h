#pragma once
// The platform's PC/SC API: winscard on Windows, pcsc-lite elsewhere. Both
// declare the same functions, but Windows builds here define UNICODE, which
// would turn reader names into UTF-16: the narrow (A) variants are named
// explicitly so names are plain text everywhere.

#ifdef _WIN32
#include <windows.h>
#include <winscard.h>
#define PCSC_NARROW(function) function##A
#else
#include <winscard.h>
#define PCSC_NARROW(function) function
#endif
