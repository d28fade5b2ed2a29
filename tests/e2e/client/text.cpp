// Script words and the two encodings: UTF-8 in the scripts, Windows-1252 in the program.
#include <cstdio>

#include "client.h"

std::vector<std::string> SplitWords(const std::string &line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t' || c == '\r') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quoted) Fail("a double quote is not closed");
  if (inWord) words.push_back(word);
  return words;
}

std::string ToAnsi(const std::string &utf8) {
  if (utf8.empty()) return utf8;
  int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                 static_cast<int>(utf8.size()), nullptr, 0);
  if (wide <= 0) Fail("the script is not valid UTF-8: " + utf8);
  std::wstring text(static_cast<size_t>(wide), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &text[0], wide);
  BOOL lossy = FALSE;
  int bytes = WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, text.data(), wide, nullptr, 0,
                                  nullptr, &lossy);
  std::string ansi(static_cast<size_t>(bytes), '\0');
  WideCharToMultiByte(1252, WC_NO_BEST_FIT_CHARS, text.data(), wide, &ansi[0], bytes, nullptr,
                      &lossy);
  if (lossy) Fail("no Windows-1252 form for: " + utf8);
  return ansi;
}

std::string ShowAnsi(const std::string &ansi) {
  // Printable ASCII as it is, every other byte as \xNN, so that a UTF-8 text where Windows-1252 was
  // expected (or the other way round) is plain to see.
  std::string shown;
  for (unsigned char c : ansi) {
    if (c >= 0x20 && c < 0x7F) {
      shown += static_cast<char>(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    }
  }
  return shown;
}

void Fail(const std::string &message) { throw StepFailure{message}; }
