#pragma once
// An NDEF message as an NFC-formatted MIFARE Classic card carries it: TLVs
// over the data blocks of its NFC sectors, the message in an NDEF TLV, its
// records with their headers. The bytes come from a card or a dump, so
// from anyone: every length is checked against what is there, and what
// does not fit is named with its byte offset, never guessed at.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The URI a well-known "U" record's prefix code stands for; null for a
// code beyond the table.
const char* UriPrefix(uint8_t code);

// The lines explaining the NFC sectors' data (the data blocks joined in
// order, trailers left out; offsets count from its first byte). `unread`,
// when not empty, names where the bytes stop because the rest was not read
// (e.g. "扇区[03]"): running into it is reported as such.
std::vector<std::string> NdefLines(const uint8_t* bytes, size_t size, const std::string& unread);

// Shows text from the card: valid UTF-8 stays as it is, control
// characters and bytes that are not UTF-8 become \xNN, so nothing from the
// card can break a line or the window's text conversion.
std::string PrintableText(const uint8_t* bytes, size_t size);
