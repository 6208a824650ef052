#include "stack.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <winscard.h>

#include <chrono>
#include <cstdlib>
#include <thread>

namespace stack {

namespace {

pid_t g_responder = 0;

}  // namespace

std::string TemporaryFile(const char* stem) {
  std::string path = std::string("/tmp/") + stem + "-XXXXXX";
  const int fd = mkstemp(&path[0]);
  if (fd >= 0) close(fd);
  return path;
}

int Port() {
  const char* port = std::getenv("PCSC_TEST_PORT");
  return port ? std::atoi(port) : 0;
}

bool WaitForCard(bool present, int milliseconds) {
  SCARDCONTEXT context;
  if (SCardEstablishContext(SCARD_SCOPE_USER, nullptr, nullptr, &context) != SCARD_S_SUCCESS)
    return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  SCARD_READERSTATE state{};
  state.szReader = kReader;
  state.dwCurrentState = SCARD_STATE_UNAWARE;
  bool reached = false;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    const LONG result = SCardGetStatusChange(context, static_cast<DWORD>(left.count()), &state, 1);
    if (result != SCARD_S_SUCCESS) break;
    const bool has = (state.dwEventState & SCARD_STATE_PRESENT) != 0;
    if (has == present) {
      reached = true;
      break;
    }
    state.dwCurrentState = state.dwEventState;
  }
  SCardReleaseContext(context);
  return reached;
}

bool InsertCard(const std::vector<std::string>& arguments, std::string* problem) {
  RemoveCard();
  if (Port() == 0) {
    *problem = "PCSC_TEST_PORT is not set: run the tests through tests/pcsc/with-pcscd";
    return false;
  }
  std::vector<std::string> words = {PCSC_RESPONDER_PATH, "--port", std::to_string(Port())};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    *problem = "fork failed";
    return false;
  }
  if (pid == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  g_responder = pid;
  if (!WaitForCard(true, 10000)) {
    *problem = "pcscd did not see the responder's card within 10 s";
    RemoveCard();
    return false;
  }
  return true;
}

void RemoveCard() {
  if (g_responder == 0) return;
  kill(g_responder, SIGTERM);
  int status = 0;
  waitpid(g_responder, &status, 0);
  g_responder = 0;
  WaitForCard(false, 10000);
}

}  // namespace stack
