#pragma once
// What every program that starts and watches another Windows program needs:
// a precise clock, the folder of the running program, and the dialog windows
// of another process.
#include <windows.h>

#include <string>

// Milliseconds from the performance counter (GetTickCount is coarse under Wine).
double NowMs();

// A file in the folder of the running program.
std::wstring BesideMe(const wchar_t* name);

// A visible window of class `windowClass` of process `pid`, with the owner
// `*owner` (a null HWND: a top-level one) or, for a null `owner`, any.
HWND FindProcessWindow(DWORD pid, const wchar_t* windowClass, const HWND* owner);

// A visible dialog window (#32770) of process `pid` whose owner is `owner`
// (null: a top-level one), or null.
HWND FindProcessDialog(DWORD pid, HWND owner);
