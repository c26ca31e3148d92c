// Libraries that only some runs need (the CUPS client, the PDF rewriter),
// loaded when first used instead of at every start: linked into the program
// they would bring dozens of further libraries into every run, also those
// that only write a file. Touches: the dynamic loader.
#pragma once

#include <dlfcn.h>

#include <initializer_list>
#include <string>

#include "platform/status.h"

namespace boleto {

class SharedLibrary {
 public:
  // Loads the library by the first of its file names that loads (e.g.
  // "libcups.so.2"); a printer failure (482) naming `what` where none does.
  static Result<SharedLibrary> Load(std::initializer_list<const char*> file_names,
                                    const std::string& what);

  // Points `function` at the library's entry point `name`; false where the
  // library has none.
  template <class Function>
  bool Bind(Function*& function, const char* name) const {
    function = reinterpret_cast<Function*>(dlsym(handle_, name));
    return function != nullptr;
  }

 private:
  explicit SharedLibrary(void* handle) : handle_(handle) {}
  void* handle_;  // never closed: bound functions stay valid until the end
};

// A library's entry points as the struct `Api` holds them: the library
// loaded, then `bind` points each member at its function and says whether it
// found them all. An error (482) where the library or a function is missing.
template <class Api, class Bind>
Result<Api> LoadApi(std::initializer_list<const char*> file_names, const std::string& what,
                    Bind bind) {
  Result<SharedLibrary> library = SharedLibrary::Load(file_names, what);
  if (!library.ok()) return library.error();
  Api api;
  if (!bind(*library, api)) {
    return MakeError(error_number::kPrinterFailure, "The " + what + " lacks a needed function");
  }
  return api;
}

}  // namespace boleto
