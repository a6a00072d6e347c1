#pragma once

#include <QByteArray>
#include <QObject>
#include <QStringList>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;
class QSocketNotifier;

namespace tessora {

/// Follows the Wayland clipboard whichever window has the keyboard focus. The compositor hands
/// Qt's own connection the selection only while one of our windows is focused, so a picture
/// copied in another program would go unnoticed until the window is activated again. This
/// watch asks the compositor through the wlroots data-control protocol (sway, Hyprland, KDE...)
/// on a connection of its own, so a protocol error there cannot take Qt's connection down.
class WaylandSelectionWatch : public QObject {
  Q_OBJECT

 public:
  /// Connects to the compositor named by WAYLAND_DISPLAY.
  WaylandSelectionWatch();
  ~WaylandSelectionWatch() override;
  WaylandSelectionWatch(const WaylandSelectionWatch&) = delete;
  WaylandSelectionWatch& operator=(const WaylandSelectionWatch&) = delete;

  /// Whether the compositor tells us about every change; when not, why (in words for a user).
  bool available() const { return device_ != nullptr; }
  const QString& unavailableReason() const { return reason_; }

 Q_SIGNALS:
  /// The clipboard changed: the MIME types it offers (none once emptied), and for a list of
  /// files (text/uri-list without a picture type) the list itself, read from its owner.
  void selectionChanged(const QStringList& types, const QByteArray& uriList);

 private:
  struct Callbacks;
  void connectToCompositor();
  void dispatch();
  void takeSelection(zwlr_data_control_offer_v1* offer);
  void readUriList(zwlr_data_control_offer_v1* offer, const QStringList& types);
  void lose(const QString& reason);

  wl_display* display_ = nullptr;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  zwlr_data_control_manager_v1* manager_ = nullptr;
  zwlr_data_control_device_v1* device_ = nullptr;
  zwlr_data_control_offer_v1* selection_ = nullptr;
  QSocketNotifier* notifier_ = nullptr;
  quint64 generation_ = 0;  ///< counts the selections reported, so a late read is dropped
  QString reason_;
};

}  // namespace tessora
