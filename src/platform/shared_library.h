// Shared libraries opened at run time, only when the work that needs them
// comes (GTK for a dialog, CUPS for a printer queue), so that a run that
// does not need them does not load them. Entry points are looked up by name
// into pointers typed by the library's own header. A library once opened
// stays loaded until the process ends. Touches: the process's libraries.
#pragma once

#include <dlfcn.h>

#include <initializer_list>
#include <string>

#include "platform/status.h"

namespace boleto {

class SharedLibrary {
 public:
  // Opens `name` with every symbol bound at once and visible to the
  // libraries it loads later.
  explicit SharedLibrary(const char* name) : handle_(dlopen(name, RTLD_NOW | RTLD_GLOBAL)) {
    if (handle_ == nullptr) {
      const char* why = dlerror();
      why_ = why != nullptr ? why : name;
    }
  }

  bool opened() const { return handle_ != nullptr; }
  // Why it could not be opened: the dynamic linker's text.
  const std::string& why() const { return why_; }

  // Points `function` at the entry point `name`, or at nothing when the
  // library lacks it (or did not open); false and complete() then say so.
  template <class FunctionPointer>
  bool Bind(FunctionPointer& function, const char* name) const {
    function =
        handle_ != nullptr ? reinterpret_cast<FunctionPointer>(dlsym(handle_, name)) : nullptr;
    complete_ = complete_ && function != nullptr;
    return function != nullptr;
  }
  // The library opened and every Bind found its entry point.
  bool complete() const { return handle_ != nullptr && complete_; }

 private:
  void* handle_;
  std::string why_;
  mutable bool complete_ = true;
};

// A library's entry points as the struct `Api` holds them: the first of
// `file_names` that opens, then `bind` points each member at its function
// and says whether it found them all. A printer failure (482) naming `what`
// where no file opens or a function is missing.
template <class Api, class Bind>
Result<Api> LoadApi(std::initializer_list<const char*> file_names, const std::string& what,
                    Bind bind) {
  std::string why;
  for (const char* file_name : file_names) {
    SharedLibrary library(file_name);
    if (!library.opened()) {
      if (why.empty()) why = library.why();
      continue;
    }
    Api api;
    if (!bind(library, api)) {
      return MakeError(error_number::kPrinterFailure, "The " + what + " lacks a needed function");
    }
    return api;
  }
  return MakeError(error_number::kPrinterFailure, "The " + what + " cannot be loaded: " + why);
}

}  // namespace boleto
