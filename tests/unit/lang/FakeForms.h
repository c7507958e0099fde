#pragma once
// Forms and components in memory, standing in for the setup window.
#include <memory>
#include <vector>

#include "lang/FormInterface.h"

template <typename Base>
class FakeParts : public Base {
public:
  ByteString text;
  ByteString hint;
  int width = 100;
  uint8_t charset = 1;  // DEFAULT_CHARSET, as a new window has
  bool parentFont = false;
  MLComponent* parent = nullptr;
  int textWrites = 0;

  ByteString Text() const override { return text; }
  void SetText(const ByteString& t) override {
    text = t;
    ++textWrites;
  }
  ByteString Hint() const override { return hint; }
  void SetHint(const ByteString& h) override { hint = h; }
  int Width() const override { return width; }
  void SetWidth(int w) override { width = w; }
  uint8_t FontCharset() const override { return charset; }
  void SetFontCharset(uint8_t c) override { charset = c; }
  bool ParentFont() const override { return parentFont; }
  MLComponent* Parent() const override { return parent; }
  int OwnedCount() const override { return static_cast<int>(owned_.size()); }
  MLComponent* OwnedAt(int i) const override {
    return i >= 0 && i < OwnedCount() ? owned_[static_cast<std::size_t>(i)].get() : nullptr;
  }

  void Adopt(std::unique_ptr<MLComponent> component) { owned_.push_back(std::move(component)); }

private:
  std::vector<std::unique_ptr<MLComponent>> owned_;
};

class FakeComponent : public FakeParts<MLComponent> {
public:
  explicit FakeComponent(MLComponentKind kind) : kind_(kind) {}
  MLComponentKind Kind() const override { return kind_; }

private:
  MLComponentKind kind_;
};

// A component owned by `owner`; it sits in `parentOf` (the owner when null).
template <typename Owner>
FakeComponent& Own(Owner& owner, MLComponentKind kind, const ByteString& caption, MLComponent* parentOf = nullptr) {
  auto component = std::make_unique<FakeComponent>(kind);
  component->text = caption;
  component->parent = parentOf ? parentOf : &owner;
  FakeComponent& result = *component;
  owner.Adopt(std::move(component));
  return result;
}

// Every character is 7 pixels wide, 9 with a font of character set 238, so a
// measurement with the wrong font shows.
class FakeForm : public FakeParts<MLForm> {
public:
  const MLComponent* lastMeasuredFont = nullptr;
  int TextWidth(const MLComponent& fontOf, const ByteString& t) override {
    lastMeasuredFont = &fontOf;
    return static_cast<int>(t.size()) * (fontOf.FontCharset() == 238 ? 9 : 7);
  }
};
