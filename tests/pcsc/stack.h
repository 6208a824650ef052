#pragma once
// The virtual PC/SC stack the tests run on: pcscd with vpcd, started by
// with-pcscd around the test program, and our responder as the card in the
// first vpcd reader, started and stopped by each test. On Windows the same
// scenarios run on the test winscard.dll (winscard.cpp), whose readers have
// vpcd's names and whose card the same switches choose (stack_win.cpp).

#include <string>
#include <vector>

#ifdef _WIN32
#include <cstdlib>
inline int setenv(const char* name, const char* value, int) { return _putenv_s(name, value); }
inline int unsetenv(const char* name) { return _putenv_s(name, ""); }
// Copied beside the test program and its winscard.dll: loaded from another
// folder, the library would look for winscard.dll in that one.
#define PCSC_LIBRARY_PATH "dcrf32.dll"
#endif

namespace stack {

// A new empty file for a test's log, named after `stem`.
std::string TemporaryFile(const char* stem);

constexpr const char* kReader = "Virtual PCD 00 00";

// The port with-pcscd put in PCSC_TEST_PORT; 0 when run without it.
int Port();

// Puts a card in the field: starts the responder with these arguments
// (beside --port) and waits until pcscd sees the card. False after a
// message on failure.
bool InsertCard(const std::vector<std::string>& arguments, std::string* problem);
// Takes it out again and waits until pcscd sees the field empty.
void RemoveCard();

// Waits for the reader's card state; false when it does not come in time.
bool WaitForCard(bool present, int milliseconds);

}  // namespace stack
