#include "cards/access.h"

#include <cstdio>

#include "cards/hex.h"

namespace {

const char kAB[] = "密钥A或B";
const char kA[] = "密钥A";
const char kB[] = "密钥B";
const char kNever[] = "不允许";

std::string Bits(int condition) {
  char text[4] = {static_cast<char>('0' + (condition >> 2 & 1)), static_cast<char>('0' + (condition >> 1 & 1)),
                  static_cast<char>('0' + (condition & 1)), 0};
  return text;
}

}  // namespace

bool DecodeAccessBits(const uint8_t trailer[16], int conditions[4]) {
  const unsigned b6 = trailer[6], b7 = trailer[7], b8 = trailer[8];
  const unsigned c1 = b7 >> 4, c2 = b8 & 0xF, c3 = b8 >> 4;
  if ((b6 & 0xF) != (~c1 & 0xF) || (b6 >> 4) != (~c2 & 0xF) || (b7 & 0xF) != (~c3 & 0xF)) return false;
  for (int i = 0; i < 4; ++i)
    conditions[i] = static_cast<int>(((c1 >> i) & 1) << 2 | ((c2 >> i) & 1) << 1 | ((c3 >> i) & 1));
  return true;
}

void EncodeAccessBits(const int conditions[4], uint8_t bytes[3]) {
  unsigned c1 = 0, c2 = 0, c3 = 0;
  for (int block = 0; block < 4; ++block) {
    c1 |= ((conditions[block] >> 2) & 1u) << block;
    c2 |= ((conditions[block] >> 1) & 1u) << block;
    c3 |= (conditions[block] & 1u) << block;
  }
  bytes[0] = static_cast<uint8_t>((~c2 & 0xF) << 4 | (~c1 & 0xF));
  bytes[1] = static_cast<uint8_t>(c1 << 4 | (~c3 & 0xF));
  bytes[2] = static_cast<uint8_t>(c3 << 4 | c2);
}

DataBlockRule DataBlockRuleOf(int condition) {
  constexpr Who N = Who::kNever, B = Who::kKeyB, E = Who::kEither;
  static const DataBlockRule kRules[8] = {
      {E, E, E, E},  // 000, as delivered
      {E, N, N, E},  // 001, a value block that can only be decremented
      {E, N, N, N},  // 010
      {B, B, N, N},  // 011
      {E, B, N, N},  // 100
      {B, N, N, N},  // 101
      {E, B, B, E},  // 110, a value block
      {N, N, N, N},  // 111
  };
  return kRules[condition & 7];
}

TrailerRule TrailerRuleOf(int condition) {
  constexpr Who N = Who::kNever, A = Who::kKeyA, B = Who::kKeyB, E = Who::kEither;
  static const TrailerRule kRules[8] = {
      {N, A, A, N, A, A},  // 000
      {N, A, A, A, A, A},  // 001, as delivered
      {N, N, A, N, A, N},  // 010
      {N, B, E, B, N, B},  // 011
      {N, B, E, N, N, B},  // 100
      {N, N, E, B, N, N},  // 101
      {N, N, E, N, N, N},  // 110
      {N, N, E, N, N, N},  // 111
  };
  return kRules[condition & 7];
}

namespace {

const char* Words(Who who) {
  switch (who) {
    case Who::kEither: return kAB;
    case Who::kKeyA: return kA;
    case Who::kKeyB: return kB;
    default: return kNever;
  }
}

}  // namespace

DataBlockRights DataBlockRightsOf(int condition) {
  const DataBlockRule r = DataBlockRuleOf(condition);
  return {Words(r.read), Words(r.write), Words(r.increment), Words(r.decrement)};
}

TrailerRights TrailerRightsOf(int condition) {
  const TrailerRule r = TrailerRuleOf(condition);
  return {Words(r.keyARead), Words(r.keyAWrite), Words(r.accessRead), Words(r.accessWrite), Words(r.keyBRead),
          Words(r.keyBWrite)};
}

bool KeyBReadable(int trailerCondition) { return TrailerRuleOf(trailerCondition).keyBRead != Who::kNever; }

bool ParseValueBlock(const uint8_t block[16], int32_t* value, uint8_t* address) {
  for (int i = 0; i < 4; ++i) {
    if (block[i] != block[8 + i] || block[i] != static_cast<uint8_t>(~block[4 + i])) return false;
  }
  if (block[12] != block[14] || block[13] != block[15] || block[12] != static_cast<uint8_t>(~block[13])) return false;
  const uint32_t raw = static_cast<uint32_t>(block[0]) | static_cast<uint32_t>(block[1]) << 8 |
                       static_cast<uint32_t>(block[2]) << 16 | static_cast<uint32_t>(block[3]) << 24;
  *value = static_cast<int32_t>(raw);
  *address = block[12];
  return true;
}

std::string ExplainSector(int sector, int block, const uint8_t* trailer, const uint8_t* data, int blocksInSector) {
  const bool large = blocksInSector > 4;
  const int last = blocksInSector - 1;
  // How the blocks of each access group are named: 块[1], or 块[5-9].
  auto group = [large](int g) {
    if (!large) return "块[" + std::to_string(g) + "]";
    if (g == 3) return std::string("块[15]");
    return "块[" + std::to_string(5 * g) + "-" + std::to_string(5 * g + 4) + "]";
  };
  char title[32];
  if (block >= 0)
    std::snprintf(title, sizeof title, "扇区[%02d] 块[%d]\n\n", sector, block);
  else
    std::snprintf(title, sizeof title, "扇区[%02d]\n\n", sector);
  std::string text = title;
  if (!trailer) {
    text += "此扇区的尾块（块" + std::to_string(last) + "）没有读出，无法知道它的访问条件。";
  } else {
    int conditions[4];
    const std::string bits = HexText(&trailer[6], 3);
    if (!DecodeAccessBits(trailer, conditions)) {
      text += "控制位 " + bits + " 格式错误（取反的副本不一致），卡片会拒绝访问此扇区。";
    } else {
      text += "控制位 " + bits + "：\n";
      for (int b = 0; b < 3; ++b) {
        const DataBlockRights r = DataBlockRightsOf(conditions[b]);
        text += group(b) + "（数据块，C1C2C3=" + Bits(conditions[b]) + "）：读 " + r.read + "，写 " + r.write + "，加值 " + r.increment +
                "，减值/转存/恢复 " + r.decrement + "\n";
      }
      const TrailerRights t = TrailerRightsOf(conditions[3]);
      text += group(3) + "（尾块，C1C2C3=" + Bits(conditions[3]) + "）：密钥A 读 " + t.keyARead + "、写 " + t.keyAWrite + "；控制位 读 " + t.accessRead +
              "、写 " + t.accessWrite + "；密钥B 读 " + t.keyBRead + "、写 " + t.keyBWrite;
      if (KeyBReadable(conditions[3])) text += "\n密钥B可被读出，因此卡片不接受用密钥B认证。";
    }
  }
  int32_t value = 0;
  uint8_t address = 0;
  if (data && block >= 0 && block != last && ParseValueBlock(data, &value, &address)) {
    char line[96];
    std::snprintf(line, sizeof line, "\n\n块[%d]是值块：值 %ld，地址 %u", block, static_cast<long>(value),
                  static_cast<unsigned>(address));
    text += line;
  }
  return text;
}
