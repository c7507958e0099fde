#include "lang/FormInterface.h"

#include <algorithm>

void MLForms::Register(MLForm* form) {
  if (form && std::find(forms_.begin(), forms_.end(), form) == forms_.end()) forms_.push_back(form);
}

void MLForms::Unregister(MLForm* form) {
  forms_.erase(std::remove(forms_.begin(), forms_.end(), form), forms_.end());
}

MLForm* MLForms::At(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return forms_[static_cast<std::size_t>(index)];
}

MLForms& ApplicationForms() {
  static MLForms forms;
  return forms;
}
