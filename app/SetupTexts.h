#pragma once
// The program's two text groups: "MainDPR" (start-up) and "Unit1" (the setup
// window). Each is created on first use with its German defaults and
// answers by number, translated into the current language.
#include <vector>
#include "base/Text.h"

ByteString MainDPRText(int number);
ByteString Unit1Text(int number);
// Unit1Text with every "%1" replaced by the argument (at most 255 characters).
ByteString Unit1TextWith(int number, const ShortText& argument);
// Unit1Text with each "%1" ... "%9" replaced by that argument; the inserted
// texts are not searched again.
ByteString Unit1TextWithAll(int number, const std::vector<ByteString>& arguments);
