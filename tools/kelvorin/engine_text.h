// Where engine texts meet the command line: arguments come in UTF-8, while
// the engine reads and writes its 8-bit code page, so values and messages
// go back out in UTF-8.
#pragma once

#include <cstdio>
#include <functional>

#include "db/storage/errors/abs_exception.h"
#include "platform/locale_code_page.h"

namespace kelvorin::tool {

// Runs `work`; an engine error is printed in UTF-8 and the status is 1.
inline int WithEngineTextsInUtf8(const std::function<int()>& work) {
  try {
    return work();
  } catch (const EABSException& error) {
    std::fprintf(stderr, "%s\n", platform::AnsiToUtf8(error.what()).c_str());
    return 1;
  }
}

}  // namespace kelvorin::tool
