#pragma once

#include <QDialog>
#include <QImage>
#include <string>

#include "platform/services.h"

class QLabel;

namespace tessora {

class ClickLabel;

/// The about box: program name and version, a credit line, the readme and website links.
class TAboutBox : public QDialog {
  Q_OBJECT

 public:
  TAboutBox(QWidget* owner, Shell& shell, const std::string& programDir, const QImage& icon);

  /// Where the readme link points (set at each activation).
  const std::string& ReadmePath() const { return readmePath_; }
  /// Where the website link points. The program has no web page of its own to send anyone to,
  /// so its current site is the documentation that comes with it, the readme.
  const std::string& WebsitePath() const { return readmePath_; }

  void FormActivate();
  void ReadmeStaticTextClick();
  void StaticText1Click();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  ClickLabel* makeLink(const QString& name, const QString& text, const QRect& where);

  Shell& shell_;
  std::string programDir_;
  std::string readmePath_;
  QLabel* credit_;
  ClickLabel* readmeLink_;
  ClickLabel* websiteLink_;
};

}  // namespace tessora
