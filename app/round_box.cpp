// The round box.
#include "app/round_box.h"


#include "pairing/text_conversion.h"

namespace app {

namespace {

// Beyond this the digits no longer matter: the box holds 1..1000.
constexpr int64_t kSaturated = int64_t{1} << 60;

}  // namespace

std::optional<int32_t> RoundInText(const QString& text) {
  const std::optional<int32_t> number = pairing::ParseInt(text.toStdString());
  if (!number || *number < 1 || *number > records::TData::kMaxRound) return std::nullopt;
  return number;
}

int64_t LeadingNumber(const QString& text) {
  qsizetype at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == QLatin1Char('-') || text[at] == QLatin1Char('+'))) {
    negative = text[at] == QLatin1Char('-');
    ++at;
  }
  int64_t number = 0;
  for (; at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9'); ++at) {
    const int digit = text[at].unicode() - '0';
    number = number >= kSaturated / 10 ? kSaturated : number * 10 + digit;
  }
  return negative ? -number : number;
}

TRoundBox::TRoundBox(records::TData& data, pairing::WindowDialogs& dialogs, std::function<bool()> commit_typed,
                     QWidget* parent)
    : TDBFieldWatcher(data.dsParam(), "Kolo", parent),
      data_(data),
      dialogs_(dialogs),
      commit_typed_(std::move(commit_typed)) {
  setObjectName(QStringLiteral("edKolo"));
  connect(this, &QLineEdit::textEdited, this, [this] { edKoloChange(); });
  // Return leaves the text as the box's own: an invalid one goes back.
  connect(this, &QLineEdit::editingFinished, this, [this] { Reload(); });
}

void TRoundBox::edKoloChange() {
  if (const std::optional<int32_t> round = RoundInText(text())) ChangeRound(*round);
}

void TRoundBox::StepRound(int delta) { ChangeRound(LeadingNumber(text()) + delta); }

void TRoundBox::ChangeRound(int64_t round) {
  if (round < 1 || round > records::TData::kMaxRound || !data_.tblParam().Active()) return;
  if (round == data_.CurrentRound()) return;
  if (!commit_typed_()) return;
  pairing::RunGuarded(dialogs_, [&] { data_.SetCurrentRound(static_cast<int32_t>(round)); });
}

void TRoundBox::focusOutEvent(QFocusEvent* event) {
  TDBFieldWatcher::focusOutEvent(event);
  Reload();
}

}  // namespace app
