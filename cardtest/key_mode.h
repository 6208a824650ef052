#pragma once
// The reader library's key selector, as the commands hand it over.

enum : int { kKeyModeA = 0, kKeyModeB = 4 };

// The letter a key mode is shown as: anything but key A counts as B.
inline char KeyLetter(int keyMode) { return keyMode != kKeyModeA ? 'B' : 'A'; }
