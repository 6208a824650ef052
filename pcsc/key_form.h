#pragma once
// How a reader takes its keys. PC/SC's LOAD KEYS (FF 82 P1 P2 06 <key>)
// leaves P1 and P2 to the reader, and the families read them differently:
//   acs      P1 00, P2 00 or 01: two volatile slots (ACR122U, ACR1252U,
//            Feitian R502)
//   session  P1 00, P2 20: the one session key (ACR1281U)
//   scm      P1 00, P2 60 or 61: P2 names the key type, A or B (SCL3711,
//            uTrust 3700 F)
//   omnikey  P1 20, P2 00-1F: non-volatile slots only (OMNIKEY 5022, 5422)
// GENERAL AUTHENTICATE then names the key by its number: the slot, or for
// scm the key type again. P1 bit 5 (20) means non-volatile memory.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dcrf32/key_store.h"
#include "pcsc/identity.h"

namespace pcsc {

enum class KeyForm { Acs, Session, Scm, Omnikey };

constexpr uint8_t kKeyTypeA = 0x60;
constexpr uint8_t kKeyTypeB = 0x61;

const char* KeyFormName(KeyForm form);
// acs, session, omnikey or scm, in any case; nothing for another word.
std::optional<KeyForm> KeyFormNamed(const std::string& name);
// Whether a key loaded in that form outlives the reader's power: such a
// slot is written only when it must hold another key.
bool NonVolatile(KeyForm form);

// The order to try the forms in on a reader of that name: the one its name
// suggests first, then the others in a fixed order that leaves the form
// writing non-volatile memory for last. A name never rules a form out.
std::vector<KeyForm> ProbeOrder(const std::string& readerName);

// One place a key can be loaded: LOAD KEYS's P1 and P2, and the key number
// GENERAL AUTHENTICATE names it by.
struct KeySlot {
  uint8_t p1 = 0;
  uint8_t p2 = 0;
  uint8_t number = 0;
  bool operator==(const KeySlot& other) const { return p1 == other.p1 && p2 == other.p2; }
};

// The slots a key of that type (kKeyTypeA or kKeyTypeB) may go to.
std::vector<KeySlot> SlotsFor(KeyForm form, uint8_t keyType);
Bytes LoadKeysCommand(const KeySlot& slot, const dcrf32::Key& key);
Bytes GeneralAuthenticateCommand(uint8_t block, uint8_t keyType, const KeySlot& slot);

}  // namespace pcsc
