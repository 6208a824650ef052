#pragma once
// What every program that starts and watches another Windows program needs:
// a precise clock, the folder of the running program, and the dialog windows
// of another process.
#include <windows.h>

#include <string>

// Milliseconds from the performance counter (GetTickCount is coarse under Wine).
double NowMs();

// How long a wait for another program's window or state lasts at most. It is
// no budget: every wait ends as soon as what it waits for happens. A cold Wine
// prefix on a busy machine takes seconds for what takes milliseconds when it
// is warm (the first common file dialog above all), so a few seconds' limit
// made the tests fail at random; this one only keeps a hung program from
// hanging the run.
constexpr double kPatienceMs = 120000;

// A file in the folder of the running program.
std::wstring BesideMe(const wchar_t* name);

// A visible window of class `windowClass` of process `pid`, with the owner
// `*owner` (a null HWND: a top-level one) or, for a null `owner`, any.
HWND FindProcessWindow(DWORD pid, const wchar_t* windowClass, const HWND* owner);

// A visible dialog window (#32770) of process `pid` whose owner is `owner`
// (null: a top-level one), or null.
HWND FindProcessDialog(DWORD pid, HWND owner);
