// A function of a library that may be missing, looked up by name at run time, so that the
// program still loads and runs where the library or the function does not exist.
#ifndef VELKIN_SYSTEM_OPTIONAL_FUNCTION_H
#define VELKIN_SYSTEM_OPTIONAL_FUNCTION_H

#include "system/system.h"

namespace velkin {

class OptionalFunction {
 public:
  enum class Lookup { kFound, kNoLibrary, kNoFunction };

  OptionalFunction(const char* library, const char* function) : library_(library), function_(function) {}
  // A library still held is released with its object.
  ~OptionalFunction();
  OptionalFunction(const OptionalFunction&) = delete;
  OptionalFunction& operator=(const OptionalFunction&) = delete;

  // Loads the library and finds the function. The library stays loaded, found or not, until
  // Release.
  Lookup Resolve(SystemServices& sys);

  // The function for a call now, or nullptr where it is missing. A function that was found and
  // then released is looked up once more, quietly, so that no call ever goes into a library that
  // has been released; one that was missing is not looked for again.
  ProcAddress Get(SystemServices& sys);

  // Frees the library (once); the address is forgotten with it.
  void Release(SystemServices& sys);

  // Whether the library is loaded now.
  bool Holds() const { return module_ != nullptr; }

 private:
  const char* library_;
  const char* function_;
  SystemServices* sys_ = nullptr;  // the services that loaded the library
  ModuleHandle module_ = nullptr;
  ProcAddress address_ = nullptr;
  bool found_ = false;     // the last lookup found the function
  bool released_ = false;
};

}  // namespace velkin

#endif
