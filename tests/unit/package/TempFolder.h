#pragma once
// A fresh folder for one test, removed with everything in it afterwards.
#include <string>

class TempFolder {
public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  // Path of `name` inside the folder, with the platform's separator.
  std::string Path(const std::string& name) const;
  std::string Write(const std::string& name, const std::string& bytes) const;
private:
  std::string root_;
};
