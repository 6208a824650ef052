#pragma once
// The virtual PC/SC stack the tests run on: pcscd with vpcd, started by
// with-pcscd around the test program, and our responder as the card in the
// first vpcd reader, started and stopped by each test.

#include <sys/types.h>

#include <string>
#include <vector>

namespace stack {

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
