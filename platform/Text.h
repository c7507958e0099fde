#pragma once
// Text services: code-page conversion, locale comparison, system language.
// Win32: MultiByteToWideChar, WideCharToMultiByte, CompareStringA/W with
// LOCALE_USER_DEFAULT, CharUpperBuffA, GetACP, GetSystemDefaultLangID.
// Natively: conversion tables for the code pages in use and an ordinal
// comparison (see SetNativeCodePage for tests).
#include <cstdint>
#include "base/Text.h"

namespace platform {

constexpr uint32_t kCpAcp = 0;         // CP_ACP
constexpr uint32_t kCpThreadAcp = 3;   // CP_THREAD_ACP
constexpr uint32_t kCp1252 = 1252;
constexpr uint32_t kMbPrecomposed = 0x01;
constexpr uint32_t kNormIgnoreCase = 0x01;
constexpr uint32_t kWcCompositeCheck = 0x200;
constexpr uint32_t kWcDiscardNs = 0x10;
constexpr uint32_t kWcSepChars = 0x20;
constexpr uint32_t kWcDefaultChar = 0x40;

// As MultiByteToWideChar: with dstLen 0 (dst may be null) answers the needed
// count of UTF-16 units; 0 on failure.
int MultiByteToWide(uint32_t codePage, uint32_t flags, const char* src, int srcLen,
                    char16_t* dst, int dstLen);
// As WideCharToMultiByte without default-character arguments; srcLen -1
// means "up to and including the terminating NUL".
int WideToMultiByte(uint32_t codePage, uint32_t flags, const char16_t* src, int srcLen,
                    char* dst, int dstLen);
// CompareStringA / CompareStringW in the user's default locale: 1 less,
// 2 equal, 3 greater, 0 on failure.
int CompareAnsi(uint32_t flags, const ByteString& a, const ByteString& b);
int CompareWideText(uint32_t flags, const WideString& a, const WideString& b);
// Upper case by the locale's rules (CharUpperBuffA).
ByteString UpperCaseAnsi(const ByteString& text);
uint32_t AnsiCodePage();          // GetACP
uint16_t SystemDefaultLangId();   // GetSystemDefaultLangID

#ifndef _WIN32
// Native only: the code page that CP_ACP and CP_THREAD_ACP stand for, and the
// system language that SystemDefaultLangId reports (tests change them).
void SetNativeCodePage(uint32_t codePage);
void SetNativeLangId(uint16_t langId);
#endif

}  // namespace platform
