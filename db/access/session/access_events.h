// What the access layer asks of the application, free of any user
// interface library: questions (a password, yes or no, an information
// message), a progress display that may ask to stop, and the hook that
// receives errors caught where they must not travel on (notifications,
// filter callbacks, destructors). The application installs its own
// implementations; the defaults answer "no" and show nothing, so the
// engine never waits for a dialog that cannot appear.
//
// The layer never calls these while it holds its critical section.
#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace kelvorin {

class TABSQuestions {
 public:
  virtual ~TABSQuestions() = default;
  // A one-line input whose characters are shown as "*"; true when the
  // user accepted, with the typed text in `password`.
  virtual bool AskPassword(std::string_view caption, std::string_view label, std::string& password);
  // A warning question with Yes and No; true for Yes.
  virtual bool AskYesNo(std::string_view text);
  virtual void Inform(std::string_view text);
};

class TABSProgress {
 public:
  virtual ~TABSProgress() = default;
  virtual void Open(std::string_view caption);
  // Shows the percentage; false when the user asked to stop.
  virtual bool Step(int percent);
  virtual void Close();
};

class TABSErrorHook {
 public:
  virtual ~TABSErrorHook() = default;
  // Must not raise.
  virtual void Report(std::exception_ptr error) noexcept;
};

// Process-wide settings; nullptr puts back the default. The object must
// outlive its use.
void SetAccessQuestions(TABSQuestions* questions);
void SetAccessProgress(TABSProgress* progress);
void SetAccessErrorHook(TABSErrorHook* hook);
TABSQuestions& AccessQuestions();
TABSProgress& AccessProgress();
TABSErrorHook& AccessErrorHook();

// Hands the exception being handled to the error hook; for catch blocks
// that must swallow.
void ReportCaughtError() noexcept;

}  // namespace kelvorin
