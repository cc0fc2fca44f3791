// The questions and messages of the pairing engine, as an interface.
//
// The pairing window shows them as dialogs; tests script them; kesh-draw
// answers from its command line.
#pragma once

#include <string>

namespace pairing {

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // A warning question with the buttons Yes and No; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // An information message; returns when the user has dismissed it.
  virtual void ShowMessage(const std::string& text) = 0;
};

}  // namespace pairing
