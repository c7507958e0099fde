#pragma once
// Shared by the fuzz targets: a throw-away folder that stands for drive
// "C:" (the jail every file call must stay in), a clean engine and clean
// fakes for each input, and a checked failure that libFuzzer reports.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/Text.h"

namespace fuzzsupport {

// The jail's host folder (created on first use, removed at exit); "C:\x" is
// JailRoot() + "/C/x".
const std::string& JailRoot();
void CountJailRefusal();
unsigned long JailRefusals();

// Empties the jail (drive C: stays, empty), resets the engine's values, the
// own-file state, the language system and every fake.
void ResetWorld();

// A host file below the jail, written directly (not through the product).
std::string HostPath(const std::string& relative);
bool WriteHost(const std::string& relative, std::string_view bytes);
bool HostExists(const std::string& relative);

// Aborts with a message: libFuzzer keeps the input as a crash.
[[noreturn]] void Fail(const char* what, const std::string& detail = std::string());
inline void Check(bool condition, const char* what, const std::string& detail = std::string()) {
  if (!condition) Fail(what, detail);
}

// A printable copy of bytes for failure messages (at most 200 characters).
std::string Show(std::string_view bytes);

}  // namespace fuzzsupport
