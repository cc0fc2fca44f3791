// What an engine statement raised, for the tests of every engine layer: the
// message of its EABSException, or its native code ("" and 0 when nothing was
// raised).
#pragma once

#include <cstdint>
#include <string>

#include "db/storage/errors/abs_exception.h"

namespace kelvorin::testing {

template <class F>
std::string ErrorOf(F&& f) {
  try {
    f();
  } catch (const EABSException& e) {
    return e.what();
  }
  return "";
}

template <class F>
int32_t ErrorCode(F&& f) {
  try {
    f();
  } catch (const EABSException& e) {
    return e.NativeError();
  }
  return 0;
}

}  // namespace kelvorin::testing
