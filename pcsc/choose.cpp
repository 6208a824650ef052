#include "pcsc/choose.h"

#include <cctype>

namespace pcsc {

namespace {

std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

std::vector<std::string> Words(const std::string& name) {
  std::vector<std::string> words;
  std::string word;
  for (char c : Lower(name)) {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      word += c;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  if (!word.empty()) words.push_back(word);
  return words;
}

bool StartsWith(const std::string& word, const char* prefix) {
  return word.rfind(prefix, 0) == 0;
}

bool EndsWith(const std::string& word, const char* suffix) {
  const std::string s(suffix);
  return word.size() > s.size() && word.compare(word.size() - s.size(), s.size(), s) == 0;
}

}  // namespace

bool LooksContactless(const std::string& name) {
  for (const std::string& word : Words(name)) {
    // PICC and PCD are the standard's own words for card and reader of the
    // contactless interface; "5422CL" and the like name a model's
    // contactless slot.
    if (word == "picc" || word == "pcd" || word == "cl" || word == "contactless" ||
        word == "rfid" || word == "felica" || word == "pasori")
      return true;
    if (StartsWith(word, "nfc") || StartsWith(word, "acr122") || StartsWith(word, "pn53") ||
        StartsWith(word, "pr53"))
      return true;
    if (EndsWith(word, "cl") && std::isdigit(static_cast<unsigned char>(word[word.size() - 3])))
      return true;
  }
  return false;
}

Choice ChooseReader(const std::vector<std::string>& names,
                    const std::optional<std::string>& wanted) {
  if (wanted) {
    const std::string needle = Lower(*wanted);
    for (size_t i = 0; i < names.size(); ++i)
      if (Lower(names[i]).find(needle) != std::string::npos) return {i, "named"};
    return {std::nullopt, "none named so"};
  }
  if (names.empty()) return {std::nullopt, "no reader"};
  if (names.size() == 1) return {0, "the only one"};
  for (size_t i = 0; i < names.size(); ++i)
    if (LooksContactless(names[i])) return {i, "contactless by its name"};
  return {0, "the first"};
}

}  // namespace pcsc
