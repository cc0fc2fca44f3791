// The settings component of a window: its placement, chosen integer
// properties and any extra values (column widths) kept between runs.
//
// A window owns one TJvRegAuto with its section ("MainWin", "SystemWin", ...).
// Load() runs right after the window is created: the restored rectangle from
// ".Left", ".Top", ".Right", ".Bottom" (right and bottom exclusive) and the
// state from ".WindowState" (0 normal, 1 minimized, 2 maximized), then every
// property entry, then the after-load hook. Save() writes the property
// entries, the placement and runs the after-save hook. Missing or unusable
// values leave the window as it is; an unreadable or unwritable store raises
// SettingsError with the text the user is shown.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

#include "app/settings_store.h"

class QWidget;

namespace app {

class TJvRegAuto : public QObject {
 public:
  // An integer property stored under "Component.Property"; a stored value
  // outside [minimum, maximum] reads as missing.
  struct PropertyEntry {
    QString name;
    std::function<int()> get;
    std::function<void(int)> set;
    int minimum = std::numeric_limits<int>::min();
    int maximum = std::numeric_limits<int>::max();
  };
  using Hook = std::function<void(TJvRegAuto&)>;

  // Gives `window` a settings component, which the window owns (it goes
  // with the window). `window_name` tells which property entries belong to
  // the window itself.
  static TJvRegAuto& Attach(QWidget& window, QString section, QString window_name);

  const QString& Section() const { return section_; }
  void SetSaveWindowPlace(bool save) { save_window_place_ = save; }
  void AddProperty(PropertyEntry entry) { properties_.push_back(std::move(entry)); }
  void SetAfterLoad(Hook hook) { after_load_ = std::move(hook); }
  void SetAfterSave(Hook hook) { after_save_ = std::move(hook); }

  void Load();
  void Save();

  // Values of the section, or of the key "Section/subsection" when
  // `subsection` is not empty; for the after-load and after-save hooks.
  int ReadInteger(const QString& subsection, const QString& name, int fallback) const;
  void WriteInteger(const QString& subsection, const QString& name, int value) const;

  // Width of a grid column under "Column<index>Width" of the subsection:
  // 120 pixels when missing or not a positive integer.
  static constexpr int kDefaultColumnWidth = 120;
  int ReadColumnWidth(const QString& subsection, int column) const;
  void WriteColumnWidth(const QString& subsection, int column, int width) const;

  // The rectangle the window has when it is neither minimized nor maximized.
  QRect RestoredRect() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TJvRegAuto(QWidget& window, QString section, QString window_name);

  QString ValueName(const PropertyEntry& entry) const;
  SettingsValue Value(const QString& subsection, const QString& name) const;
  void LoadPlacement();
  void SavePlacement();
  bool IsOnScreen(const QRect& rect) const;

  QWidget& window_;
  QString section_;
  QString window_name_;
  bool save_window_place_ = true;
  std::vector<PropertyEntry> properties_;
  Hook after_load_;
  Hook after_save_;
  QRect restored_rect_;  // tracked for child windows, which Qt does not do
};

// The stored form of a window state and back.
int StoredWindowState(Qt::WindowStates state);
Qt::WindowStates WindowStateFromStored(int stored);

}  // namespace app
