#include "print/shared_library.h"

namespace boleto {

Result<SharedLibrary> SharedLibrary::Load(std::initializer_list<const char*> file_names,
                                          const std::string& what) {
  std::string why;
  for (const char* file_name : file_names) {
    if (void* handle = dlopen(file_name, RTLD_NOW | RTLD_GLOBAL)) return SharedLibrary(handle);
    const char* error = dlerror();
    if (why.empty()) why = error != nullptr ? error : file_name;
  }
  return MakeError(error_number::kPrinterFailure, "The " + what + " cannot be loaded: " + why);
}

}  // namespace boleto
