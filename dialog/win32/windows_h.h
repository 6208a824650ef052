#pragma once
// <windows.h> for code that also sees the dialog framework: its MessageBox
// macro would rename the framework's MessageBox members to MessageBoxW in
// some translation units and not in others. Win32 code here calls the wide
// functions by their W names anyway.

#include <windows.h>

#undef MessageBox
