#include "system/optional_function.h"

namespace velkin {

OptionalFunction::~OptionalFunction() {
  if (module_ != nullptr) sys_->ReleaseModule(module_);
}

OptionalFunction::Lookup OptionalFunction::Resolve(SystemServices& sys) {
  if (module_ != nullptr) sys.ReleaseModule(module_);
  sys_ = &sys;
  released_ = false;
  address_ = nullptr;
  found_ = false;
  module_ = sys.LoadModule(library_);
  if (module_ == nullptr) return Lookup::kNoLibrary;
  address_ = sys.FindProc(module_, function_);
  found_ = address_ != nullptr;
  return found_ ? Lookup::kFound : Lookup::kNoFunction;
}

ProcAddress OptionalFunction::Get(SystemServices& sys) {
  if (released_ && found_) Resolve(sys);
  return address_;
}

void OptionalFunction::Release(SystemServices& sys) {
  if (module_ != nullptr) sys.ReleaseModule(module_);
  module_ = nullptr;
  address_ = nullptr;
  released_ = true;
}

}  // namespace velkin
