// Functions looked up at run time: ones that older Windows versions lack, and
// services loaded only when first needed.
#pragma once

#include <windows.h>

namespace platform::win32 {

// `name` from `module` as a `Function` pointer, or nullptr when missing.
template <typename Function>
Function LoadedFunction(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // Through void (*)() because FARPROC does not match any real signature.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace platform::win32
