#pragma once
// Shared set-up of the multilingual tests: a fresh system with base language
// "DE" in the ANSI code page 1252 (natively; under Windows the real one).
#include <gtest/gtest.h>

#include "lang/Multilingual.h"
#include "platform/Text.h"

class LangTest : public ::testing::Test {
protected:
  void SetUp() override {
    ResetMultiLingua();
    ApplicationForms().Clear();
#ifndef _WIN32
    platform::SetNativeCodePage(1252);
    platform::SetNativeLangId(0x0407);
#endif
    InitMultiLingua();
  }
  void TearDown() override {
    ResetMultiLingua();
    ApplicationForms().Clear();
  }
  tMLSystem& System() { return *MLSystem; }
  void Load(const WideString& text, bool keepLines = true) { MLSystem->LoadFromText(text, keepLines); }
  // The text of the language in group g ("" when there is none).
  ByteString TextIn(int32_t group, const char* code) {
    const tMLGroup* g = MLSystem->Group(group);
    return g ? g->TextOf(code) : ByteString("<no group>");
  }
};
