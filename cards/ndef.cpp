#include "cards/ndef.h"

#include <cstdio>

namespace {

const char* const kUriPrefixes[] = {
    "",           "http://www.", "https://www.", "http://",     "https://",     "tel:",
    "mailto:",    "ftp://anonymous:anonymous@",  "ftp://ftp.",  "ftps://",      "sftp://",
    "smb://",     "nfs://",      "ftp://",       "dav://",      "news:",        "telnet://",
    "imap:",      "rtsp://",     "urn:",         "pop:",        "sip:",         "sips:",
    "tftp:",      "btspp://",    "btl2cap://",   "btgoep://",   "tcpobex://",   "irdaobex://",
    "file://",    "urn:epc:id:", "urn:epc:tag:", "urn:epc:pat:", "urn:epc:raw:", "urn:epc:",
    "urn:nfc:"};

const char* const kTnfNames[] = {"空", "知名类型", "媒体类型", "绝对URI", "外部类型", "未知", "不变", "保留"};

std::string Escaped(unsigned byte) {
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02X", byte & 0xFF);
  return text;
}

void AppendUtf8(uint32_t code, std::string* out) {
  if (code < 0x80) {
    out->push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out->push_back(static_cast<char>(0xC0 | code >> 6));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | code >> 12));
    out->push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | code >> 18));
    out->push_back(static_cast<char>(0x80 | (code >> 12 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

bool Control(uint32_t code) { return code < 0x20 || (code >= 0x7F && code < 0xA0); }

// Text records in UTF-16 are big-endian unless a byte order mark says
// otherwise; a surrogate without its partner is shown as its number.
std::string Utf16Text(const uint8_t* bytes, size_t size) {
  std::string out;
  bool little = false;
  size_t i = 0;
  if (size >= 2 && ((bytes[0] == 0xFE && bytes[1] == 0xFF) || (bytes[0] == 0xFF && bytes[1] == 0xFE))) {
    little = bytes[0] == 0xFF;
    i = 2;
  }
  auto unit = [&](size_t at) -> uint32_t {
    return little ? static_cast<uint32_t>(bytes[at] | bytes[at + 1] << 8)
                  : static_cast<uint32_t>(bytes[at] << 8 | bytes[at + 1]);
  };
  for (; i + 1 < size; i += 2) {
    uint32_t code = unit(i);
    if (code >= 0xD800 && code < 0xDC00 && i + 3 < size && unit(i + 2) >= 0xDC00 && unit(i + 2) < 0xE000) {
      code = 0x10000 + ((code - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (code >= 0xD800 && code < 0xE000) {
      char text[12];
      std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(code));
      out += text;
      continue;
    }
    if (Control(code)) {
      char text[12];
      std::snprintf(text, sizeof text, "\\u%04X", static_cast<unsigned>(code));
      out += text;
    } else {
      AppendUtf8(code, &out);
    }
  }
  if (i < size) out += Escaped(bytes[i]);  // half a character at the end
  return out;
}

class Decoder {
 public:
  Decoder(const uint8_t* bytes, size_t size, const std::string& unread) : bytes_(bytes), size_(size), unread_(unread) {}

  std::vector<std::string> Run() {
    size_t at = 0;
    while (!failed_) {
      if (at >= size_) {
        if (!unread_.empty())
          Fail(at, "此后是没有读出的" + unread_ + "，NDEF 区没有读完");
        else
          lines_.push_back("NFC 扇区已到末尾，没有终止 TLV");
        break;
      }
      const uint8_t type = bytes_[at];
      if (type == 0x00) {  // NULL TLVs pad: no length, nothing to show
        ++at;
        continue;
      }
      if (type == 0xFE) {
        lines_.push_back("终止 TLV（偏移 " + std::to_string(at) + "）");
        break;
      }
      // The length of a TLV we do not know may not even mean a length.
      if (type != 0x03 && type != 0xFD) {
        Fail(at, "未知的 TLV 类型 " + Hex(type));
        break;
      }
      size_t length = 0, value = 0;
      if (!Length(at, &length, &value)) break;
      if (type == 0x03) {
        lines_.push_back("NDEF 消息 TLV（偏移 " + std::to_string(at) + "，长度 " + std::to_string(length) + "）");
        Message(value, value + length);
      } else {
        lines_.push_back("专有 TLV（偏移 " + std::to_string(at) + "，长度 " + std::to_string(length) + "），不解读");
      }
      at = value + length;
    }
    return lines_;
  }

 private:
  static std::string Hex(unsigned byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte & 0xFF);
    return text;
  }

  void Fail(size_t at, const std::string& what) {
    lines_.push_back("偏移 " + std::to_string(at) + "：" + what);
    failed_ = true;
  }

  // Whether `count` bytes from `at` are there; when not, says what ran
  // out (`what`, which starts at `start`) and where.
  bool Have(size_t at, size_t count, size_t start, const std::string& what) {
    if (at <= size_ && count <= size_ - at) return true;
    if (!unread_.empty())
      Fail(start, what + "进入没有读出的" + unread_ + "（偏移 " + std::to_string(size_) + " 起）");
    else
      Fail(start, what + "超出 NFC 扇区的末尾");
    return false;
  }

  // A TLV's length: one byte, or 0xFF and two bytes big-endian.
  bool Length(size_t at, size_t* length, size_t* value) {
    const std::string tlv = "TLV " + Hex(bytes_[at]);
    if (!Have(at + 1, 1, at, tlv + " 的长度")) return false;
    *length = bytes_[at + 1];
    *value = at + 2;
    if (*length == 0xFF) {
      if (!Have(at + 2, 2, at, tlv + " 的长度")) return false;
      *length = static_cast<size_t>(bytes_[at + 2] << 8 | bytes_[at + 3]);
      *value = at + 4;
      if (*length == 0xFFFF) {
        Fail(at, tlv + " 的长度 0xFFFF 是保留值");
        return false;
      }
    }
    return Have(*value, *length, at, tlv + "（长度 " + std::to_string(*length) + "）");
  }

  // A record header's flags by name ("MB ME SR，"), or nothing.
  static std::string FlagNames(uint8_t flags) {
    static const struct {
      uint8_t bit;
      const char* name;
    } kFlags[] = {{0x80, "MB"}, {0x40, "ME"}, {0x20, "CF"}, {0x10, "SR"}, {0x08, "IL"}};
    std::string names;
    for (const auto& f : kFlags)
      if (flags & f.bit) names += (names.empty() ? "" : " ") + std::string(f.name);
    return names.empty() ? names : names + "，";
  }

  void Message(size_t at, size_t end) {
    if (at == end) {
      lines_.push_back("空的 NDEF 消息");
      return;
    }
    for (int number = 1; !failed_; ++number) {
      if (at >= end) {
        Fail(at, "最后一个记录没有 ME 标志");
        return;
      }
      const std::string name = "记录 " + std::to_string(number);
      const uint8_t flags = bytes_[at];
      const bool shortRecord = flags & 0x10, hasId = flags & 0x08;
      const size_t header = 2 + (shortRecord ? 1 : 4) + (hasId ? 1 : 0);
      if (end - at < header) {
        Fail(at, name + " 的头部超出 NDEF 消息的末尾");
        return;
      }
      const size_t typeLength = bytes_[at + 1];
      uint64_t payloadLength = bytes_[at + 2];
      if (!shortRecord)
        payloadLength = static_cast<uint64_t>(bytes_[at + 2]) << 24 | static_cast<uint64_t>(bytes_[at + 3]) << 16 |
                        static_cast<uint64_t>(bytes_[at + 4]) << 8 | bytes_[at + 5];
      const size_t idLength = hasId ? bytes_[at + header - 1] : 0;
      const size_t type = at + header, id = type + typeLength, payload = id + idLength;
      const uint64_t left = end - type;
      if (typeLength + idLength + payloadLength > left) {
        Fail(at, name + " 的类型、ID 和负载共 " + std::to_string(typeLength + idLength + payloadLength) +
                     " 字节，超出 NDEF 消息的末尾（还剩 " + std::to_string(left) + " 字节）");
        return;
      }
      if ((number == 1) != ((flags & 0x80) != 0)) {
        Fail(at, number == 1 ? name + " 没有 MB 标志" : name + " 有 MB 标志，但它不是第一个记录");
        return;
      }
      const int tnf = flags & 0x07;
      if (tnf == 0 && (typeLength | idLength | payloadLength) != 0) {
        Fail(at, name + " 的 TNF 为 0（空），却有类型、ID 或负载");
        return;
      }
      lines_.push_back(name + "（偏移 " + std::to_string(at) + "）：" + FlagNames(flags) + "TNF " + std::to_string(tnf) +
                       "（" + kTnfNames[tnf] + "），类型 \"" + PrintableText(bytes_ + type, typeLength) + "\"，负载 " +
                       std::to_string(payloadLength) + " 字节");
      const size_t payloadSize = static_cast<size_t>(payloadLength);
      // Chunks of one payload only make sense together: shown as they are.
      if (tnf == 1 && typeLength == 1 && !(flags & 0x20)) {
        if (bytes_[type] == 'U') Uri(at, bytes_ + payload, payloadSize);
        if (bytes_[type] == 'T') Text(at, bytes_ + payload, payloadSize);
      }
      at = payload + payloadSize;
      if (flags & 0x40) {
        if (at != end && !failed_) Fail(at, "ME 记录之后还有 " + std::to_string(end - at) + " 字节");
        return;
      }
    }
  }

  void Uri(size_t record, const uint8_t* payload, size_t size) {
    if (size == 0) {
      Fail(record, "URI 记录没有负载");
      return;
    }
    const char* prefix = UriPrefix(payload[0]);
    lines_.push_back("URI：" + (prefix ? std::string(prefix) : "（未定义的前缀代码 " + Hex(payload[0]) + "）") +
                     PrintableText(payload + 1, size - 1));
  }

  void Text(size_t record, const uint8_t* payload, size_t size) {
    if (size == 0) {
      Fail(record, "文本记录没有负载");
      return;
    }
    const size_t language = payload[0] & 0x3F;
    if (1 + language > size) {
      Fail(record, "文本记录的语言代码长度 " + std::to_string(language) + " 超出负载");
      return;
    }
    const uint8_t* text = payload + 1 + language;
    const size_t textSize = size - 1 - language;
    lines_.push_back("文本（" + PrintableText(payload + 1, language) + "）：" +
                     (payload[0] & 0x80 ? Utf16Text(text, textSize) : PrintableText(text, textSize)));
  }

  const uint8_t* bytes_;
  size_t size_;
  std::string unread_;
  std::vector<std::string> lines_;
  bool failed_ = false;
};

}  // namespace

const char* UriPrefix(uint8_t code) {
  return code < sizeof kUriPrefixes / sizeof kUriPrefixes[0] ? kUriPrefixes[code] : nullptr;
}

std::string PrintableText(const uint8_t* bytes, size_t size) {
  std::string out;
  size_t i = 0;
  while (i < size) {
    const uint8_t lead = bytes[i];
    size_t count = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    uint32_t code = count == 1 ? lead : count == 2 ? lead & 0x1F : count == 3 ? lead & 0x0F : lead & 0x07;
    bool valid = count != 0 && count <= size - i;
    for (size_t k = 1; valid && k < count; ++k) {
      valid = (bytes[i + k] & 0xC0) == 0x80;
      code = code << 6 | (bytes[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and code points past Unicode are not UTF-8.
    static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    valid = valid && code >= kLeast[count] && code <= 0x10FFFF && !(code >= 0xD800 && code < 0xE000);
    if (!valid || Control(code)) {
      out += valid ? std::string() : Escaped(lead);
      if (valid) {
        for (size_t k = 0; k < count; ++k) out += Escaped(bytes[i + k]);
        i += count;
      } else {
        ++i;
      }
      continue;
    }
    out.append(reinterpret_cast<const char*>(bytes + i), count);
    i += count;
  }
  return out;
}

std::vector<std::string> NdefLines(const uint8_t* bytes, size_t size, const std::string& unread) {
  return Decoder(bytes, size, unread).Run();
}
