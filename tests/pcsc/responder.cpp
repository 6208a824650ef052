// The card side of vpcd: connects to the reader driver's TCP port and
// answers its frames from the firmware, as a contactless reader with a card
// in its field would.
//   responder --port N [reader switches, firmware.h] [--chaos SEED,PERCENT --chaos-log FILE]
// A frame is a 2-byte big-endian length and a payload. A 1-byte payload is
// a control (0 power off, 1 power on, 2 reset, 4 ask for the ATR, answered
// with the ATR); anything longer is an APDU, answered the same way.
//
// With --chaos (chaos.h) a pulled card drops the connection before
// answering, and the card is back a moment later.
//
// With --unanswered (an instruction byte in hex, B0 for READ BINARY), APDUs
// with that instruction get no answer at all, as from a reader whose
// firmware hangs: the driver, and everything above it, waits.
// --keys says how the reader takes keys (firmware.h), acs by default.
// --second-card puts another card in the field, the one a PN53x lists.
// --ats-length gives an ISO 14443-4 card an ATS of N bytes (N >= 5: its
// own, then filler historical bytes), longer than any card sends.
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

#include "chaos.h"
#include "firmware.h"

namespace {

using responder::Bytes;

struct Options {
  int port = 0;
  responder::ReaderOptions reader;
};

[[noreturn]] void Usage(const std::string& problem) {
  std::fprintf(stderr, "responder: %s\n", problem.c_str());
  std::exit(2);
}

Options Parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string flag = argv[i];
    if (i + 1 >= argc) Usage("no value after " + flag);
    const std::string value = argv[++i];
    std::string problem;
    switch (responder::TakeReaderOption(flag, value, &options.reader, &problem)) {
      case responder::Taken::Yes:
        continue;
      case responder::Taken::BadValue:
        Usage(problem);
      case responder::Taken::NotAReaderSwitch:
        break;
    }
    if (flag == "--port") {
      options.port = std::atoi(value.c_str());
    } else {
      Usage("unknown option " + flag);
    }
  }
  if (options.port <= 0 || options.port > 65535) Usage("--port is required");
  // An empty field is a responder not started.
  if (!options.reader.card) Usage("--card none: start no responder for an empty field");
  return options;
}

// The driver writes a frame's length and payload in two writes; without
// quick ACKs re-armed before each receive, every APDU waits out the peer's
// delayed ACK (some 40 ms).
bool ReadExactly(int fd, uint8_t* buffer, size_t length) {
  size_t done = 0;
  while (done < length) {
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
    const ssize_t n = recv(fd, buffer + done, length - done, 0);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool SendFrame(int fd, const Bytes& payload) {
  Bytes frame = {static_cast<uint8_t>(payload.size() >> 8), static_cast<uint8_t>(payload.size())};
  frame.insert(frame.end(), payload.begin(), payload.end());
  return send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size());
}

int ConnectToDriver(int port) {
  // pcscd may still be loading the driver: try for a while.
  for (int attempt = 0; attempt < 200; ++attempt) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      const int on = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
      return fd;
    }
    close(fd);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return -1;
}

enum class End { DriverGone, CardPulled };

End Serve(int fd, responder::Firmware* firmware, responder::Chaos* chaos, std::optional<uint8_t> unanswered) {
  for (;;) {
    uint8_t header[2];
    if (!ReadExactly(fd, header, 2)) return End::DriverGone;
    Bytes payload(static_cast<size_t>(header[0] << 8 | header[1]));
    if (!payload.empty() && !ReadExactly(fd, payload.data(), payload.size())) return End::DriverGone;
    if (payload.size() == 1) {
      switch (payload[0]) {
        case 0:
          firmware->PowerOff();
          break;
        case 1:
        case 2:
          firmware->PowerOn();
          break;
        case 4:
          if (!SendFrame(fd, firmware->Atr())) return End::DriverGone;
          break;
        default:
          break;
      }
      continue;
    }
    if (unanswered && payload.size() >= 2 && payload[1] == *unanswered) continue;
    Bytes answer = firmware->Apdu(payload);
    if (!chaos->Spoil(&answer)) return End::CardPulled;
    if (!SendFrame(fd, answer)) return End::DriverGone;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = Parse(argc, argv);
  responder::Firmware firmware = responder::MakeFirmware(options.reader);
  responder::Chaos chaos(options.reader);
  for (;;) {
    const int fd = ConnectToDriver(options.port);
    if (fd < 0) {
      std::fprintf(stderr, "responder: no reader driver on port %d\n", options.port);
      return 1;
    }
    const End end = Serve(fd, &firmware, &chaos, options.reader.unanswered);
    close(fd);
    // The driver drops a card whose answer it could not use, and a pulled
    // card comes back a moment later: either way the same card, anew.
    firmware.PowerOff();
    if (end == End::CardPulled) std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  }
}
