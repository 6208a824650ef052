#include "cardtest/card_operation.h"

bool CardOperation::Wake() {
  if (link_.WakeIfIdle()) return true;
  progress_.Status("卡片已更换或已离开，请重新寻卡");
  return false;
}
