// Shared libraries opened at run time, only when the work that needs them
// comes (GTK for a dialog, CUPS for a printer queue), so that a run that
// does not need them does not load them. Entry points are looked up by name
// into pointers typed by the library's own header. A library once opened
// stays loaded until the process ends. Touches: the process's libraries.
#pragma once

#include <dlfcn.h>

#include <string>

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
  // library lacks it (or did not open); complete() then says so.
  template <class FunctionPointer>
  void Bind(FunctionPointer& function, const char* name) {
    function =
        handle_ != nullptr ? reinterpret_cast<FunctionPointer>(dlsym(handle_, name)) : nullptr;
    complete_ = complete_ && function != nullptr;
  }
  // The library opened and every Bind found its entry point.
  bool complete() const { return handle_ != nullptr && complete_; }

 private:
  void* handle_;
  std::string why_;
  bool complete_ = true;
};

}  // namespace boleto
