#include "db/access/session/access_events.h"

#include <atomic>

namespace kelvorin {

namespace {

TABSQuestions g_default_questions;
TABSProgress g_default_progress;
TABSErrorHook g_default_hook;
std::atomic<TABSQuestions*> g_questions{nullptr};
std::atomic<TABSProgress*> g_progress{nullptr};
std::atomic<TABSErrorHook*> g_hook{nullptr};

}  // namespace

bool TABSQuestions::AskPassword(std::string_view, std::string_view, std::string&) { return false; }
bool TABSQuestions::AskYesNo(std::string_view) { return false; }
void TABSQuestions::Inform(std::string_view) {}

void TABSProgress::Open(std::string_view) {}
bool TABSProgress::Step(int) { return true; }
void TABSProgress::Close() {}

void TABSErrorHook::Report(std::exception_ptr) noexcept {}

void SetAccessQuestions(TABSQuestions* questions) { g_questions = questions; }
void SetAccessProgress(TABSProgress* progress) { g_progress = progress; }
void SetAccessErrorHook(TABSErrorHook* hook) { g_hook = hook; }

TABSQuestions& AccessQuestions() {
  TABSQuestions* questions = g_questions;
  return questions != nullptr ? *questions : g_default_questions;
}
TABSProgress& AccessProgress() {
  TABSProgress* progress = g_progress;
  return progress != nullptr ? *progress : g_default_progress;
}
TABSErrorHook& AccessErrorHook() {
  TABSErrorHook* hook = g_hook;
  return hook != nullptr ? *hook : g_default_hook;
}

void ReportCaughtError() noexcept { AccessErrorHook().Report(std::current_exception()); }

}  // namespace kelvorin
