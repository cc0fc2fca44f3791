// Loading and saving a window's placement and properties.
#include "app/window_settings.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace app {

namespace {

constexpr int kStateNormal = 0;
constexpr int kStateMinimized = 1;
constexpr int kStateMaximized = 2;

bool IsRestored(Qt::WindowStates state) {
  return !(state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
}

// A stored state outside 0 to 2 is no state at all.
std::optional<int> ValidState(std::optional<int> stored) {
  if (stored && *stored >= kStateNormal && *stored <= kStateMaximized) return stored;
  return std::nullopt;
}

}  // namespace

int StoredWindowState(Qt::WindowStates state) {
  if (state & Qt::WindowMinimized) return kStateMinimized;
  if (state & (Qt::WindowMaximized | Qt::WindowFullScreen)) return kStateMaximized;
  return kStateNormal;
}

Qt::WindowStates WindowStateFromStored(int stored) {
  switch (stored) {
    case kStateMinimized:
      return Qt::WindowMinimized;
    case kStateMaximized:
      return Qt::WindowMaximized;
    default:
      return Qt::WindowNoState;
  }
}

TJvRegAuto::TJvRegAuto(QWidget& window, QString section, QString window_name)
    : QObject(&window),
      window_(window),
      section_(std::move(section)),
      window_name_(std::move(window_name)),
      restored_rect_(window.geometry()) {
  window_.installEventFilter(this);
}

TJvRegAuto& TJvRegAuto::Attach(QWidget& window, QString section, QString window_name) {
  // Owned by `window` as its Qt child.
  return *new TJvRegAuto(window, std::move(section), std::move(window_name));
}

bool TJvRegAuto::eventFilter(QObject* watched, QEvent* event) {
  if (watched == &window_ && (event->type() == QEvent::Move || event->type() == QEvent::Resize) &&
      IsRestored(window_.windowState()))
    restored_rect_ = window_.geometry();
  return QObject::eventFilter(watched, event);
}

QRect TJvRegAuto::RestoredRect() const {
  if (IsRestored(window_.windowState())) return window_.geometry();
  if (window_.isWindow() && window_.normalGeometry().isValid()) return window_.normalGeometry();
  return restored_rect_;
}

SettingsValue TJvRegAuto::Value(const QString& subsection, const QString& name) const {
  QString key = section_;
  if (!subsection.isEmpty()) key += QLatin1Char('/') + subsection;
  return SettingsValue(key + QLatin1Char('/') + name);
}

// An entry of the window itself ("SystemWin.WindowState" of the window
// "SystemWin") is stored under the text from its first point, ".WindowState".
QString TJvRegAuto::ValueName(const PropertyEntry& entry) const {
  const qsizetype point = entry.name.indexOf(QLatin1Char('.'));
  if (point > 0 && entry.name.left(point) == window_name_) return entry.name.mid(point);
  return entry.name;
}

int TJvRegAuto::ReadInteger(const QString& subsection, const QString& name, int fallback) const {
  return Value(subsection, name).Read().value_or(fallback);
}

void TJvRegAuto::WriteInteger(const QString& subsection, const QString& name, int value) const {
  Value(subsection, name).Write(value);
}

namespace {

QString ColumnWidthName(int column) { return QStringLiteral("Column%1Width").arg(column); }

}  // namespace

int TJvRegAuto::ReadColumnWidth(const QString& subsection, int column) const {
  const std::optional<int> width = Value(subsection, ColumnWidthName(column)).Read();
  return width && *width > 0 ? *width : kDefaultColumnWidth;
}

void TJvRegAuto::WriteColumnWidth(const QString& subsection, int column, int width) const {
  Value(subsection, ColumnWidthName(column)).Write(width);
}

void TJvRegAuto::Load() {
  try {
    if (save_window_place_) LoadPlacement();
    for (const PropertyEntry& entry : properties_) {
      const std::optional<int> stored = Value({}, ValueName(entry)).Read();
      if (stored && *stored >= entry.minimum && *stored <= entry.maximum) entry.set(*stored);
    }
  } catch (const std::exception& error) {
    throw SettingsError(std::string("Could not load property: ") + error.what());
  }
  if (after_load_) after_load_(*this);
}

void TJvRegAuto::Save() {
  for (const PropertyEntry& entry : properties_) {
    try {
      Value({}, ValueName(entry)).Write(entry.get());
    } catch (const std::exception&) {
      throw SettingsError("Could not save property " + entry.name.toStdString());
    }
  }
  if (save_window_place_) SavePlacement();
  if (after_save_) after_save_(*this);
}

// A rectangle counts when some part of it can be seen: on one of the screens
// for a top-level window, inside the parent (or a screen-sized area from the
// parent's corner, while the parent is not laid out yet) for a child.
bool TJvRegAuto::IsOnScreen(const QRect& rect) const {
  if (QWidget* parent = window_.parentWidget(); parent && !window_.isWindow()) {
    QSize area = parent->size();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
      area = area.expandedTo(screen->availableGeometry().size());
    return rect.intersects(QRect(QPoint(0, 0), area));
  }
  const QList<QScreen*> screens = QGuiApplication::screens();
  for (const QScreen* screen : screens)
    if (rect.intersects(screen->geometry())) return true;
  return screens.isEmpty();
}

// Without a usable position the placement stays with the window manager
// (or the MDI area); right and bottom default to the current ones.
void TJvRegAuto::LoadPlacement() {
  const QRect current = RestoredRect();
  const std::optional<int> left = Value({}, QStringLiteral(".Left")).Read();
  const std::optional<int> top = Value({}, QStringLiteral(".Top")).Read();
  const std::optional<int> right = Value({}, QStringLiteral(".Right")).Read();
  const std::optional<int> bottom = Value({}, QStringLiteral(".Bottom")).Read();
  if (left && top) {
    const qint64 width = qint64(right.value_or(current.x() + current.width())) - *left;
    const qint64 height = qint64(bottom.value_or(current.y() + current.height())) - *top;
    if (width > 0 && height > 0 && width <= QWIDGETSIZE_MAX && height <= QWIDGETSIZE_MAX) {
      const QRect rect(*left, *top, int(width), int(height));
      if (IsOnScreen(rect)) {
        window_.setGeometry(rect);
        restored_rect_ = rect;
      }
    }
  }
  if (const std::optional<int> state = ValidState(Value({}, QStringLiteral(".WindowState")).Read()))
    window_.setWindowState(WindowStateFromStored(*state));
}

void TJvRegAuto::SavePlacement() {
  const QRect rect = RestoredRect();
  const struct {
    const char* name;
    int value;
  } values[] = {
      {".Left", rect.x()},
      {".Top", rect.y()},
      {".Right", rect.x() + rect.width()},
      {".Bottom", rect.y() + rect.height()},
      {".WindowState", StoredWindowState(window_.windowState())},
  };
  for (const auto& value : values) {
    try {
      Value({}, QLatin1String(value.name)).Write(value.value);
    } catch (const std::exception&) {
      throw SettingsError("Could not save property " + section_.toStdString() + value.name);
    }
  }
}

}  // namespace app
