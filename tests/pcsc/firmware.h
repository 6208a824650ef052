#pragma once
// A contactless reader's storage-card firmware, played on the virtual
// reader's card model: what such a reader answers to PC/SC. It activates
// the card itself on power-on and reset (no RATS, as storage-card firmware
// does), builds the ATR PC/SC prescribes for the card type, and takes the
// pseudo-APDUs with CLA FF. Which of the exact identification paths it
// offers is its flavour:
//   pn53x    InListPassiveTarget through direct transmit (FF 00 00 00)
//   acr122   the same, but the answer is held back behind 61 xx until
//            GET RESPONSE (FF C0 00 00 xx) fetches it
//   getdata  GET DATA with P1 02 (SAK), 03 (ATQA) and 01 (ATS)
//   atr      neither: the card is known by its ATR only
// How it takes keys (LOAD KEYS P1 P2, the key number GENERAL AUTHENTICATE
// names, the word a wrong key gets) is its family:
//   acs      P1 00, P2 00 or 01; key number the slot; 63 00
//   session  P1 00, P2 20, or P1 20, P2 00-1F; key number the slot; 63 00
//   omnikey  P1 20, P2 00-1F only (P1 00: 69 86); key number the slot; 63 00
//   scm      P1 00, P2 60 or 61, the key type; key number 60/61; 69 82

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/card.h"

namespace responder {

using Bytes = std::vector<uint8_t>;

enum class Flavour { Pn53x, Acr122, GetData, Atr };
enum class Family { Acs, Session, Omnikey, Scm };

class Firmware {
 public:
  Firmware(sim::Card card, Flavour flavour, Family family = Family::Acs)
      : card_(std::move(card)), flavour_(flavour), family_(family) {}

  // Power on and reset both switch the field off and on and activate the
  // card; power off leaves it idle in a dead field.
  void PowerOn();
  void PowerOff();
  Bytes Atr() const;
  Bytes Apdu(const Bytes& command);
  // A second card in the field, the one InListPassiveTarget finds first;
  // the reader's own activation and GET DATA still name the first.
  void AddSecondCard(const sim::CardProfile& other) { second_ = other; }

  const sim::Card& card() const { return card_; }

 private:
  Bytes GetData(uint8_t p1);
  Bytes LoadKeys(const Bytes& command);
  Bytes Authenticate(const Bytes& command);
  Bytes ReadBinary(const Bytes& command);
  Bytes UpdateBinary(const Bytes& command);
  Bytes DirectTransmit(const Bytes& command);
  Bytes GetResponse(const Bytes& command);
  Bytes DirectAnswer(const Bytes& data, const Bytes& status);
  bool Activate();
  // Whether LOAD KEYS may write that P1 P2; the refusal's status word if not.
  std::optional<Bytes> RefusedKeySlot(uint8_t p1, uint8_t p2) const;

  sim::Card card_;
  Flavour flavour_;
  bool powered_ = false;
  bool active_ = false;  // the card answered the firmware's activation
  Family family_;
  // By the key number GENERAL AUTHENTICATE names them with.
  std::map<uint8_t, sim::Key> slots_;
  Bytes heldBack_;  // the acr122 flavour's answer waiting for GET RESPONSE
  std::optional<sim::CardProfile> second_;
};

// The ATR PC/SC builds for a contactless card: storage cards by name,
// ISO 14443-4 cards from their ATS's historical bytes.
Bytes AtrFor(const sim::CardProfile& profile);

// A reader and the card in its field, as the switches of the responder and
// of the test winscard.dll name them:
//   --card m1|cpu|composite|mini|4k|none   --flavour pn53x|acr122|getdata|atr
//   --keys acs|session|omnikey|scm --unanswered INS (hex)
//   --second-card m1|cpu|composite|mini|4k --ats-length N
//   --chaos SEED,PERCENT --chaos-log FILE (chaos.h)
struct ReaderOptions {
  std::optional<sim::Preset> card = sim::Preset::M1;  // nothing: an empty field
  Flavour flavour = Flavour::Pn53x;
  Family family = Family::Acs;
  // APDUs with this instruction get no answer, as from firmware that hangs.
  std::optional<uint8_t> unanswered;
  std::optional<sim::Preset> secondCard;
  int atsLength = 0;  // an ISO 14443-4 card's ATS stretched to N bytes
  std::optional<unsigned> chaosSeed;
  int chaosPercent = 0;
  std::string chaosLog;
};

enum class Taken { Yes, NotAReaderSwitch, BadValue };
// Takes one switch and its value; with BadValue, *problem says why.
Taken TakeReaderOption(const std::string& flag, const std::string& value, ReaderOptions* options,
                       std::string* problem);
// The firmware of those options with a factory-fresh card; options.card
// must name one.
Firmware MakeFirmware(const ReaderOptions& options);

}  // namespace responder
